// Entry of every test executable: a QCoreApplication for event loops (a
// QGuiApplication on the offscreen platform for the window's tests), and a
// sandbox that HOME, TMPDIR and the XDG folders point into before any test
// runs, so that no test can reach the real user's files.

#include <QCoreApplication>
#ifdef MOSS_TEST_GUI
#include <QGuiApplication>
#endif
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QTemporaryDir sandbox(QDir::tempPath() + QStringLiteral("/mossbin-tests-XXXXXX"));
    const QByteArray root = QDir(sandbox.path()).canonicalPath().toLocal8Bit();
    for (const char* sub : {"/home", "/tmp", "/runtime"})
        QDir().mkpath(QString::fromLocal8Bit(root + sub));
    QFile::setPermissions(QString::fromLocal8Bit(root + "/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", root + "/home");
    qputenv("TMPDIR", root + "/tmp");
    qputenv("XDG_DATA_HOME", root + "/home/.local/share");
    qputenv("XDG_CACHE_HOME", root + "/home/.cache");
    qputenv("XDG_CONFIG_HOME", root + "/home/.config");
    qputenv("XDG_RUNTIME_DIR", root + "/runtime");
    qputenv("QML_DISABLE_DISK_CACHE", "1");
    qputenv("QT_QPA_PLATFORM", "offscreen");

#ifdef MOSS_TEST_GUI
    QGuiApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
