#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

// A property that must hold for every input: prints the failed condition and aborts, so that
// libFuzzer saves the input as a crash.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// The same with the texts involved printed as well.
#define FUZZ_CHECK_TEXT(condition, text)                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s [%s]\n", __FILE__, __LINE__, #condition, \
                         QString(text).toUtf8().constData());                                      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Fuzzer bytes without a copy.
inline QByteArray fuzzBytes(const unsigned char *data, std::size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}
