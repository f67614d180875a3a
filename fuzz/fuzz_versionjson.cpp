// version.json from an update server we do not control, and the build-time comparison
// against the device's version text. Any body: no crash, and a verdict only from times
// that really are in the "MMM d yyyy,hh:mm" form.
#include "firmware/updatecheck.h"

#include <cstdlib>

using namespace Firmware;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), int(size));
    const UpdateInfo info = readUpdateInfo(body);
    if (!info.isObject && !(info.version.isEmpty() && info.name.isEmpty() && info.md5.isEmpty()))
        std::abort();

    // The same bytes as the device's version label, after the label's prefix.
    const QString label = QStringLiteral("Firmware Version:") + QString::fromUtf8(body);
    const QString deviceTime = deviceBuildTime(label);
    // One field of the label; its double spaces are collapsed in a single pass, so only a
    // run of three or more can leave two.
    if (deviceTime.contains(QLatin1Char('\t')) || deviceTime.size() > label.size())
        std::abort();

    const UpdateVerdict verdict = compareBuildTimes(deviceTime, info.version);
    const bool bothParse =
        parseBuildTime(deviceTime).isValid() && parseBuildTime(info.version).isValid();
    if ((verdict == UpdateVerdict::Invalid) == bothParse)
        std::abort();
    // A time that parses reads back to the same minute.
    const QDateTime parsed = parseBuildTime(info.version);
    if (parsed.isValid() &&
        compareBuildTimes(info.version, info.version) != UpdateVerdict::UpToDate)
        std::abort();

    const QString& expected = info.md5;
    if (digestMatches(body, expected) && md5Hex(body).compare(expected, Qt::CaseInsensitive) != 0)
        std::abort();
    return 0;
}
