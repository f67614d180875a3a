#include "device/vexoevent.h"

#include "device/devicehandle.h"
#include "device/protocol.h"

#include <QDebug>
#include <QScopeGuard>

VexoEvent::VexoEvent(QObject* parent)
    : QThread(parent) {}

VexoEvent::~VexoEvent() {
    runEnded.load(std::memory_order_acquire);
}

void VexoEvent::run() {
    const auto ended = qScopeGuard([this] { runEnded.store(true, std::memory_order_release); });
    quint8 buffer[Protocol::INPUT_REPORT_SIZE] = {};
    for (;;) {
        if (isInterruptionRequested())
            break;
        // Returns at once while reports are readable: the queue is drained before the
        // read waits again.
        const int n = DeviceHandle::readInput(buffer, sizeof buffer, readTimeoutMs);
        if (n == DeviceHandle::NO_DEVICE) {
            // Someone else closed the handle: only tell the window, unless it is the
            // window itself stopping this thread (it asks before it closes).
            if (!isInterruptionRequested())
                emit deviceDisconnect();
            return;
        }
        if (n < 0)
            break;
        // A report too short for the three values would be sent with the bytes of the one
        // before.
        if (n > 0 && n < Protocol::INPUT_SAMPLE_OFFSET + Protocol::INPUT_SAMPLE_SIZE)
            qDebug("short input report dropped: %d bytes.", n);
        else if (n > 0)
            emit eventTrigger(Protocol::inputSample(buffer));
    }

    DeviceHandle::close();
    if (!isInterruptionRequested())
        emit deviceDisconnect();
    qDebug("joystick event thread done.");
}
