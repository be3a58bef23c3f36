#include "stack/DataFolderFiles.h"

#include "support/TestSupport.h"
#include "support/WaitUntil.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;

namespace
{
std::string FileText(const std::string &path)
{
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}
} // namespace

// The exit clean-up deletes the loose files of the data folder's root and keeps the server's own
// state. What the kit's server actually leaves there when it dies after writing to InnoDB and Aria
// is what its recovery reads: every such file must count as state. Its replication index (empty
// without replication, made again at every start) is the one file that is not.
TEST(DataFolderFiles, WhatTheKilledServerLeavesInItsDataFolderIsItsState)
{
  const std::string tree = CORVALA_STACK_TREE;
  if (!fs::exists(tree + "/bin/mysql/bin/mysqld") || !fs::exists(tree + "/data/mysql"))
    GTEST_SKIP() << "no MySQL in the kit tree";
  TScratchFolder root;
  const std::string data = root.File("data");
  fs::copy(tree + "/data", data, fs::copy_options::recursive);
  const std::string init = root.Write("init.sql", "CREATE DATABASE d;\n"
                                                  "CREATE TABLE d.i (id INT PRIMARY KEY) ENGINE=InnoDB;\n"
                                                  "INSERT INTO d.i VALUES (1);\n"
                                                  "CREATE TABLE d.a (id INT PRIMARY KEY) ENGINE=Aria;\n"
                                                  "INSERT INTO d.a VALUES (1);\n");
  const std::string log = root.File("server.log");
  std::vector<std::string> arguments = {tree + "/bin/mysql/bin/mysqld",
                                        "--no-defaults",
                                        "--datadir=" + data,
                                        "--skip-networking",
                                        "--socket=" + root.File("s.sock"),
                                        "--pid-file=" + root.File("s.pid"),
                                        "--innodb-buffer-pool-size=16M",
                                        "--innodb-log-file-size=8M",
                                        "--init-file=" + init,
                                        "--language=" + tree + "/bin/mysql/share/english",
                                        "--character-sets-dir=" + tree + "/bin/mysql/share/charsets"};
  if (geteuid() == 0)
    arguments.push_back("--user=root");
  const pid_t server = fork();
  ASSERT_GE(server, 0);
  if (server == 0) {
    std::vector<char *> argv;
    for (std::string &argument : arguments)
      argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (freopen(log.c_str(), "w", stderr) != nullptr)
      execv(argv[0], argv.data());
    _exit(127);
  }
  const bool served =
      WaitUntil([&] { return FileText(log).find("ready for connections") != std::string::npos; }, 60s,
                "the server to serve");
  kill(server, SIGKILL);
  waitpid(server, nullptr, 0);
  ASSERT_TRUE(served) << FileText(log);

  std::vector<std::string> names;
  for (const auto &entry : fs::directory_iterator(data))
    if (entry.is_regular_file())
      names.push_back(entry.path().filename());
  for (const std::string &name : names)
    EXPECT_EQ(Corvala::IsServerStateFile(name), name != "multi-master.info") << name;
  // What InnoDB and Aria recover from was there to be checked.
  for (const char *name : {"ibdata1", "ib_logfile0", "aria_log_control", "aria_log.00000001"})
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
}
