// The desktop's opener: its exit status decides, and one that keeps running counts as opened.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "platform/desktop_open.h"
#include "platform/event_loop.h"
#include "tests/support/stand_in_opener.h"
#include "tests/support/test_files.h"

namespace {

// A wait that no real opener outlasts: the stand-ins end at once, and the wait with them.
TDesktopOpener Opener(const QString &program)
{
    TDesktopOpener opener;
    opener.Program = program;
    opener.WaitMs = 600000;
    return opener;
}

} // namespace

TEST(DesktopOpen, TheOpenersStatusDecides)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("отчёт с пробелом.docx"));
    WriteFile(file, "PK");
    WriteFile(dir.filePath(QStringLiteral("crash")), "#!/bin/sh\nkill -SEGV $$\n");
    QFile::setPermissions(dir.filePath(QStringLiteral("crash")), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const struct {
        QString program;
        bool opened;
    } cases[] = {
        {StandInOpener(dir, QStringLiteral("ok"), 0), true},
        {StandInOpener(dir, QStringLiteral("no-method"), 3), false}, // xdg-open: "no method available"
        {StandInOpener(dir, QStringLiteral("failed"), 4), false},
        {dir.filePath(QStringLiteral("crash")), false},
        {dir.filePath(QStringLiteral("absent")), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.program.toStdString());
        EXPECT_EQ(OpenOnDesktop(file, Opener(c.program)), c.opened);
    }
    EXPECT_EQ(StandInOpenerArgument(cases[0].program), file);
    EXPECT_EQ(StandInOpenerArgument(cases[1].program), file);
}

// An opener that has not answered when the wait is over is taken as opened (without a desktop,
// xdg-open waits for the viewer it started), whatever it says later.
TEST(DesktopOpen, AnOpenerStillRunningAfterTheWaitCountsAsOpened)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString go = dir.filePath(QStringLiteral("go"));
    const QString program = dir.filePath(QStringLiteral("slow"));
    WriteFile(program, QStringLiteral("#!/bin/sh\nwhile [ ! -e '%1' ]; do sleep 0.01; done\nexit 3\n").arg(go).toUtf8());
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    int slept = 0;
    int pumped = 0;
    SetSleepHook([&](int ms) { slept += ms; });
    SetProcessMessagesHook([&] { ++pumped; });
    TDesktopOpener opener;
    opener.Program = program;
    opener.WaitMs = 100;
    opener.StepMs = 20;
    const bool opened = OpenOnDesktop(dir.filePath(QStringLiteral("a.pdf")), opener);
    SetSleepHook(nullptr);
    SetProcessMessagesHook(nullptr);
    EXPECT_TRUE(opened);
    // Let go, it ends on its own and nothing of it is left.
    WriteFile(go, "");
    EXPECT_TRUE(QTest::qWaitFor([] { return QCoreApplication::instance()->findChildren<QProcess *>().isEmpty(); }, 600000));
    EXPECT_GE(slept, opener.WaitMs);
    EXPECT_GT(pumped, 0); // the window is not frozen meanwhile
}
