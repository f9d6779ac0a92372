// The far end of a pseudo-terminal for the serial backend's test under Wine:
// prints the line's path, then echoes every byte back until it reads the
// word HANGUP, and then closes the line, which hangs it up for the program.
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

int main(void)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        perror("pty_peer: pseudo-terminal");
        return 2;
    }
    // Held open throughout, so that the program closing and opening the
    // line again does not end it; raw, so that nothing is echoed or changed.
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    struct termios tio;
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        perror("pty_peer: slave");
        return 2;
    }
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    printf("%s\n", ptsname(master));
    fflush(stdout);

    static const char word[] = "HANGUP";
    size_t matched = 0;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            return 1;
        for (ssize_t i = 0; i < n; ++i) {
            matched = buffer[i] == word[matched] ? matched + 1 : (buffer[i] == word[0] ? 1 : 0);
            if (matched == sizeof word - 1) {
                close(slave);
                close(master);
                return 0;
            }
        }
        if (write(master, buffer, (size_t)n) != n)
            return 1;
    }
}
