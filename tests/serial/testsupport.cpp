#include "testsupport.h"

#include <sys/resource.h>

double serialtest::ProcessCpuMs()
{
    rusage use{};
    ::getrusage(RUSAGE_SELF, &use);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(use.ru_utime) + ms(use.ru_stime);
}
