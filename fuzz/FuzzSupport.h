// What every harness shares: the libFuzzer entry point's signature, a reader
// that takes typed values off the input, and the check that stops the run.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

#include <QByteArray>
#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// An invariant that failed: say which, then abort so the fuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                                      \
    do {                                                                                      \
        if (!(cond)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (false)

// Reads the input front to back; past its end every value is zero or empty.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }

    template <typename T>
    T take() {
        static_assert(std::is_trivially_copyable_v<T>);
        T value{};
        const std::size_t n = std::min(sizeof(T), size_ - pos_);
        std::memcpy(&value, data_ + pos_, n);
        pos_ += n;
        return value;
    }

    // Up to max bytes, the count taken from one leading byte.
    QByteArray bytes(std::size_t max) {
        return takeBytes(std::min<std::size_t>(take<std::uint8_t>(), max));
    }
    QByteArray rest() { return takeBytes(size_ - pos_); }
    // UTF-16 units, any of them (lone surrogates and U+0000 included).
    QString text(std::size_t maxUnits) {
        const QByteArray raw = bytes(2 * maxUnits);
        return QString(reinterpret_cast<const QChar*>(raw.constData()), raw.size() / 2);
    }
    QString restText() {
        const QByteArray raw = rest();
        return QString(reinterpret_cast<const QChar*>(raw.constData()), raw.size() / 2);
    }

private:
    QByteArray takeBytes(std::size_t n) {
        n = std::min(n, size_ - pos_);
        QByteArray out(reinterpret_cast<const char*>(data_ + pos_), static_cast<qsizetype>(n));
        pos_ += n;
        return out;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};
