// A stand-in for librrd's file calls, preloaded (LD_PRELOAD) into the tests of a slow or full
// history disk. Every call goes on to the real librrd, except that:
// - while the file named by OSTRALINE_TEST_RRD_HANG exists, rrd_update_r and rrd_fetch_r wait
//   before they start, like calls on a hung disk;
// - with OSTRALINE_TEST_RRD_FULL naming a folder, creating a file in it fails the way librrd
//   fails on a full disk (no file, no error text) and posix_fallocate() there says ENOSPC.
// It counts the librrd calls made on the process's main thread (the GUI thread in the tests):
// ostraline_rrd_shim_main_thread_calls().
#include <rrd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace
{

std::atomic<int> mainThreadCalls{0};

template <typename F> F real(const char *name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

void called()
{
    if (::gettid() == ::getpid())
        ++mainThreadCalls;
}

void hangWhileMarked()
{
    const char *marker = std::getenv("OSTRALINE_TEST_RRD_HANG");
    while (marker && *marker && ::access(marker, F_OK) == 0)
        ::usleep(5000);
}

bool inFullFolder(const std::string &path)
{
    const char *folder = std::getenv("OSTRALINE_TEST_RRD_FULL");
    if (!folder || !*folder)
        return false;
    const std::string prefix = std::string(folder) + '/';
    return path.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int ostraline_rrd_shim_main_thread_calls()
{
    return mainThreadCalls.load();
}

__attribute__((visibility("default"))) int rrd_update_r(const char *filename, const char *tmplt,
                                                        int argc, const char **argv)
{
    called();
    hangWhileMarked();
    using F = int (*)(const char *, const char *, int, const char **);
    return real<F>("rrd_update_r")(filename, tmplt, argc, argv);
}

__attribute__((visibility("default"))) int rrd_fetch_r(const char *filename, const char *cf,
                                                       time_t *start, time_t *end,
                                                       unsigned long *step, unsigned long *ds_cnt,
                                                       char ***ds_namv, rrd_value_t **data)
{
    called();
    hangWhileMarked();
    using F = int (*)(const char *, const char *, time_t *, time_t *, unsigned long *,
                      unsigned long *, char ***, rrd_value_t **);
    return real<F>("rrd_fetch_r")(filename, cf, start, end, step, ds_cnt, ds_namv, data);
}

__attribute__((visibility("default"))) int
rrd_create_r2(const char *filename, unsigned long pdp_step, time_t last_up, int no_overwrite,
              const char **sources, const char *tmplt, int argc, const char **argv)
{
    called();
    if (inFullFolder(filename)) {
        errno = ENOENT; // what is left in errno after librrd's clean-up
        return -1;
    }
    using F = int (*)(const char *, unsigned long, time_t, int, const char **, const char *, int,
                      const char **);
    return real<F>("rrd_create_r2")(filename, pdp_step, last_up, no_overwrite, sources, tmplt, argc,
                                    argv);
}

__attribute__((visibility("default"))) rrd_info_t *rrd_info_r(const char *filename)
{
    called();
    using F = rrd_info_t *(*)(const char *);
    return real<F>("rrd_info_r")(filename);
}

__attribute__((visibility("default"))) time_t rrd_last_r(const char *filename)
{
    called();
    using F = time_t (*)(const char *);
    return real<F>("rrd_last_r")(filename);
}

__attribute__((visibility("default"))) int rrd_tune(int argc, char **argv)
{
    called();
    using F = int (*)(int, char **);
    return real<F>("rrd_tune")(argc, argv);
}

__attribute__((visibility("default"))) int posix_fallocate(int fd, off_t offset, off_t length)
{
    char link[64];
    char target[PATH_MAX] = {};
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    if (::readlink(link, target, sizeof target - 1) > 0 && inFullFolder(target))
        return ENOSPC;
    using F = int (*)(int, off_t, off_t);
    return real<F>("posix_fallocate")(fd, offset, length);
}

__attribute__((visibility("default"))) int posix_fallocate64(int fd, off_t offset, off_t length)
{
    return posix_fallocate(fd, offset, length);
}

} // extern "C"
