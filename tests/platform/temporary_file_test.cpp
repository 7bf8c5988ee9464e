// Temporaries left by killed processes: which names count as the SDK's, and
// that only regular files of processes that are gone are removed.
#include "platform/temporary_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace vantix {
namespace {

namespace fs = std::filesystem;

// The PID of a process that has ended and been reaped.
pid_t DeadPid() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

std::string Name(pid_t pid, const std::string& sequence) {
    return ".vantix-" + std::to_string(pid) + "-" + sequence + ".tmp";
}

TEST(TemporaryFile, OnlyTheExactSpellingIsOurs) {
    pid_t pid = 0;
    EXPECT_TRUE(ParseTemporaryName(".vantix-4242-0.tmp", &pid));
    EXPECT_EQ(pid, 4242);
    EXPECT_TRUE(ParseTemporaryName(".vantix-1-4294967295.tmp", &pid));
    EXPECT_EQ(pid, 1);
    // kill() reads 0 and negative PIDs as process groups.
    for (const char* name : {".vantix-0-1.tmp", ".vantix--1-1.tmp", ".vantix-+5-1.tmp",
                             // Spellings the SDK never makes, and names of others.
                             ".vantix-042-1.tmp", ".vantix-42-01.tmp", ".vantix-42-.tmp", ".vantix--.tmp",
                             ".vantix-42.tmp", ".vantix-42-1-2.tmp", ".vantix-42-4294967296.tmp",
                             ".vantix-99999999999999999999-1.tmp", "vantix-42-1.tmp", ".vantix-42-1.tmp~",
                             "x.vantix-42-1.tmp", ".vantix-42-1.TMP", ".vantix- 42-1.tmp"}) {
        EXPECT_FALSE(ParseTemporaryName(name, &pid)) << name;
    }
}

TEST(TemporaryFile, RemovesRegularFilesOfProcessesThatAreGoneOnly) {
    char pattern[] = "/tmp/vantix-temporary-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const pid_t dead = DeadPid();
    const auto plant = [&](const std::string& name) { std::ofstream(dir / name) << "partial"; };

    plant(Name(dead, "0"));
    plant(Name(dead, "7"));
    plant(Name(getpid(), "0"));   // this process: may be a save in progress
    plant(Name(getppid(), "3"));  // another running process
    plant(Name(dead, "07"));      // not spelled as the SDK spells it
    plant("notes-" + std::to_string(dead) + ".tmp");
    // A link under a stale name is neither followed nor removed.
    plant("victim.txt");
    ASSERT_EQ(symlink((dir / "victim.txt").c_str(), (dir / Name(dead, "1")).c_str()), 0);
    fs::create_directory(dir / Name(dead, "2"));

    EXPECT_EQ(RemoveStaleTemporaries(dir.string()), 2);
    EXPECT_FALSE(fs::exists(dir / Name(dead, "0")));
    EXPECT_FALSE(fs::exists(dir / Name(dead, "7")));
    for (const std::string& kept : {Name(getpid(), "0"), Name(getppid(), "3"), Name(dead, "07"),
                                    "notes-" + std::to_string(dead) + ".tmp", Name(dead, "1"), Name(dead, "2")}) {
        EXPECT_TRUE(fs::exists(fs::symlink_status(dir / kept))) << kept;
    }
    std::ifstream victim(dir / "victim.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "partial");

    // A new temporary clears the folder first, and is named by the same rule.
    plant(Name(dead, "9"));
    std::string path;
    const int fd = CreateTemporaryFile(dir.string(), &path);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_FALSE(fs::exists(dir / Name(dead, "9")));
    pid_t owner = 0;
    EXPECT_EQ(fs::path(path).parent_path(), dir);
    EXPECT_TRUE(ParseTemporaryName(fs::path(path).filename().string(), &owner));
    EXPECT_EQ(owner, getpid());
    fs::remove_all(dir);
}

}  // namespace
}  // namespace vantix
