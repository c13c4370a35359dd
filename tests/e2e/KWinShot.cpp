// kwinshot: a picture of KWin's active output into a PNG file, for the whole-program tests (grim's job
// on a wlroots desk). KWin hands a picture out only over its ScreenShot2 D-Bus interface, which writes
// the raw pixels into a pipe the caller passes along; this reads them and saves them.
//
//   kwinshot FILE.png      exit 0 when the picture was written
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QImage>
#include <QVariantMap>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// All a pipe's bytes until the writer closes it, or nothing when it stays silent for the timeout.
QByteArray readAll(int fd, int timeoutMs) {
    QByteArray data;
    char buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeoutMs);
        if (ready <= 0) {
            return {};
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0 ? data : QByteArray();
        }
        data.append(buffer, static_cast<int>(n));
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: kwinshot FILE.png\n", stderr);
        return 2;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        std::perror("kwinshot: pipe");
        return 1;
    }
    QDBusInterface shot(QStringLiteral("org.kde.KWin.ScreenShot2"),
                        QStringLiteral("/org/kde/KWin/ScreenShot2"),
                        QStringLiteral("org.kde.KWin.ScreenShot2"));
    QVariantMap options;
    options.insert(QStringLiteral("include-cursor"), false);
    options.insert(QStringLiteral("native-resolution"), true);
    const QDBusReply<QVariantMap> reply = shot.call(QStringLiteral("CaptureActiveScreen"), options,
                                                    QVariant::fromValue(QDBusUnixFileDescriptor(fds[1])));
    // Our end of writing goes now, so the pipe ends when KWin has written everything.
    ::close(fds[1]);
    if (!reply.isValid()) {
        std::fprintf(stderr, "kwinshot: %s\n", qPrintable(reply.error().message()));
        ::close(fds[0]);
        return 1;
    }
    const QVariantMap r = reply.value();
    const int width = r.value(QStringLiteral("width")).toInt();
    const int height = r.value(QStringLiteral("height")).toInt();
    const int stride = r.value(QStringLiteral("stride")).toInt();
    const auto format = static_cast<QImage::Format>(r.value(QStringLiteral("format")).toInt());
    const QByteArray pixels = readAll(fds[0], 10000);
    ::close(fds[0]);
    if (width <= 0 || height <= 0 || stride <= 0 || pixels.size() < static_cast<qsizetype>(stride) * height) {
        std::fprintf(stderr, "kwinshot: %dx%d, stride %d, %lld bytes: no whole picture\n", width, height,
                     stride, static_cast<long long>(pixels.size()));
        return 1;
    }
    const QImage picture(reinterpret_cast<const uchar*>(pixels.constData()), width, height, stride, format);
    return picture.copy().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
