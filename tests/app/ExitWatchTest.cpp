#include "app/ExitWatch.h"
#include "process/ExitSignals.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace
{

// Starts Program and waits until its exit watch is set up.
void StartWatching(QProcess &child, const QString &program)
{
  child.start(program, {});
  ASSERT_TRUE(child.waitForStarted());
  ASSERT_TRUE(child.waitForReadyRead(60000));
  ASSERT_EQ(child.readLine().trimmed(), "ready");
}

// Waits for Child's end and expects it to have left through its close path.
void ExpectClosedCleanly(QProcess &child)
{
  ASSERT_TRUE(child.waitForFinished(60000));
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), 0);
  EXPECT_EQ(child.readAll().trimmed(), "closing");
}

} // namespace

TEST(ExitWatch, TerminateInterruptAndHangUpEndTheProgramThroughItsClosePath)
{
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
    QProcess child;
    StartWatching(child, EXIT_WATCH_CHILD);
    ASSERT_EQ(kill(static_cast<pid_t>(child.processId()), number), 0);
    ExpectClosedCleanly(child);
  }
}

TEST(ExitWatch, TheProgramFileDisappearingEndsTheProgramThroughItsClosePath)
{
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString copy = folder.filePath("launcher");
  ASSERT_TRUE(QFile::copy(EXIT_WATCH_CHILD, copy));
  QProcess child;
  StartWatching(child, copy);
  ASSERT_TRUE(QFile::remove(copy));
  ExpectClosedCleanly(child);
}

TEST(ExitWatch, ASignalThatArrivedBeforeTheEventLoopIsNotLost)
{
  QProcess child;
  child.start(EXIT_WATCH_CHILD, {"early"});
  ASSERT_TRUE(child.waitForFinished(60000));
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), 0);
  EXPECT_TRUE(child.readAll().contains("closing"));
}

TEST(ExitWatch, SignalsAreCaughtOncePerProcessAndGoBackAfterwards)
{
  {
    Process::TExitSignals caught;
    EXPECT_THROW(Process::TExitSignals(), std::runtime_error);
    struct sigaction current {
    };
    sigaction(SIGTERM, nullptr, &current);
    EXPECT_NE(current.sa_handler, SIG_DFL);
    EXPECT_FALSE(caught.Arrived());
    ASSERT_EQ(raise(SIGTERM), 0);
    EXPECT_TRUE(caught.Arrived());
    EXPECT_TRUE(caught.Arrived());
  }
  struct sigaction after {
  };
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, SIG_DFL);
  Process::TExitSignals again;
  EXPECT_FALSE(again.Arrived());
}
