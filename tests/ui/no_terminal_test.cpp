// The whole program started without a terminal on standard input.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/TempDir.h"

TEST(Program, WithoutATerminalReportsTheErrorAndExitsWithOne) {
    const std::string binary = std::string(MORAVEL_BINARY_DIR) + "/mvconsole";
    if (access(binary.c_str(), X_OK) != 0) GTEST_SKIP() << binary << " is not built";
    const TempDir temp;
    const std::string& dir = temp.path();

    int errors[2];
    ASSERT_EQ(pipe(errors), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(errors[1], STDERR_FILENO);
        close(errors[0]);
        if (chdir(dir.c_str()) != 0) _exit(99);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(98);
    }
    close(errors[1]);
    std::string stderrText;
    char buffer[512];
    for (ssize_t n; (n = read(errors[0], buffer, sizeof buffer)) > 0;)
        stderrText.append(buffer, static_cast<size_t>(n));
    close(errors[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);

    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(stderrText.find("tcgetattr() failed\n"), std::string::npos) << stderrText;
}
