// Placeholder so this branch links: the profile lists are built on another branch, and
// this file goes when that work is merged.
#include "app/mainwindow.h"

void MainWindow::loadProfiles() {}
