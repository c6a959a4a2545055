// Saves a PNG of the KWin desktop, all outputs together, or of one output, through KWin's screenshot
// service on the session bus:
//
//   kwin-screenshot FILE.png [OUTPUT]      (OUTPUT: an output's name, such as Virtual-0)
//
// KWin writes the raw pixels into a pipe whose write end goes with the call and describes them in its answer.
// KWin refuses callers it does not know unless it runs with KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QImage>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int timeoutMs = 10000;

int fail(const QString& message) {
    std::fprintf(stderr, "kwin-screenshot: %s\n", qPrintable(message));
    return 1;
}

// Everything until KWin closes its end, or nothing new for timeoutMs.
QByteArray readAll(int fd) {
    QByteArray data;
    char buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return data;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return data;
        data.append(buffer, n);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: kwin-screenshot FILE.png [OUTPUT]\n");
        return 2;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return fail(u"pipe: "_s + QString::fromLocal8Bit(std::strerror(errno)));
    // Read while KWin writes: the image is larger than a pipe holds.
    auto pixels = std::async(std::launch::async, readAll, fds[0]);

    const bool oneOutput = args.size() == 3;
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.kde.KWin.ScreenShot2"_s, u"/org/kde/KWin/ScreenShot2"_s, u"org.kde.KWin.ScreenShot2"_s,
        oneOutput ? u"CaptureScreen"_s : u"CaptureWorkspace"_s);
    if (oneOutput)
        call << args.at(2);
    call << QVariantMap{{u"include-cursor"_s, false}, {u"native-resolution"_s, true}};
    call << QVariant::fromValue(QDBusUnixFileDescriptor(fds[1])); // a duplicate goes with the call
    close(fds[1]);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, timeoutMs);
    call = {}; // drops the last duplicate of the write end here, so the reader sees the end of the data
    const QByteArray data = pixels.get();
    close(fds[0]);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return fail(reply.errorName() + u": "_s + reply.errorMessage());

    const auto info = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    const int width = info.value(u"width"_s).toInt();
    const int height = info.value(u"height"_s).toInt();
    const int stride = info.value(u"stride"_s).toInt();
    const auto format = QImage::Format(info.value(u"format"_s).toInt());
    if (info.value(u"type"_s, u"raw"_s).toString() != u"raw"_s)
        return fail(u"unknown image type "_s + info.value(u"type"_s).toString());
    if (format <= QImage::Format_Invalid || format >= QImage::NImageFormats || width <= 0 || height <= 0 ||
        stride < width || qint64(stride) * height > data.size())
        return fail(u"KWin described a %1x%2 image of format %3 (stride %4) and sent %5 bytes"_s.arg(width)
                        .arg(height)
                        .arg(format)
                        .arg(stride)
                        .arg(data.size()));
    const QImage image(reinterpret_cast<const uchar*>(data.constData()), width, height, stride, format);
    if (!image.save(args.at(1), "PNG"))
        return fail(u"cannot write "_s + args.at(1));
    std::printf("%s: %dx%d\n", qPrintable(args.at(1)), width, height);
    return 0;
}
