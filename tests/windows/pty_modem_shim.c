// Preloaded into Wine (a Linux process) for the tests over pseudo-terminals.
// Wine's serial wait asks the device for its modem lines, which a
// pseudo-terminal refuses (ENOTTY); the wait then fails before any byte
// arrives. Answer that one question for pseudo-terminals as a plain
// three-wire line would, and leave everything else, a hung-up line's EIO
// included, to the real ioctl.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int is_pty_slave(int fd)
{
    struct stat st;
    // Unix98 pseudo-terminal slaves have majors 136 to 143.
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
           major(st.st_rdev) <= 143;
}

int ioctl(int fd, unsigned long request, ...)
{
    static ioctl_fn real;
    if (!real)
        real = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    const int result = real(fd, request, arg);
    if (result != 0 && request == TIOCMGET && (errno == ENOTTY || errno == EINVAL) &&
        is_pty_slave(fd)) {
        *(int *)arg = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
        return 0;
    }
    return result;
}
