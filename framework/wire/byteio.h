#pragma once

// Little-endian reading and writing of fixed-size values. The reader checks
// every access against the end of its buffer, so malformed input can only end
// in an Error (Malformed), never in a read past the end.

#include "framework/wire/errors.h"

#include <QByteArray>
#include <QtEndian>
#include <cstring>
#include <string_view>

namespace krt::wire {

class ByteReader
{
public:
    ByteReader(const char* data, qsizetype size, const char* what)
        : data_(data), size_(size), what_(what)
    {
    }

    qsizetype pos() const { return pos_; }
    qsizetype remaining() const { return size_ - pos_; }
    bool atEnd() const { return pos_ == size_; }
    const char* data() const { return data_; }

    // Throws unless `n` more bytes are available.
    void need(qsizetype n) const
    {
        if (n < 0 || n > size_ - pos_)
            fail(QStringLiteral("termina antes do fim (faltam dados na posição %1)").arg(pos_));
    }

    template <typename T> T read()
    {
        need(qsizetype(sizeof(T)));
        T value;
        std::memcpy(&value, data_ + pos_, sizeof(T));
        pos_ += qsizetype(sizeof(T));
        return qFromLittleEndian(value);
    }

    double readDouble()
    {
        const quint64 bits = read<quint64>();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    std::string_view readBytes(qsizetype n)
    {
        need(n);
        std::string_view view(data_ + pos_, size_t(n));
        pos_ += n;
        return view;
    }

    void skip(qsizetype n)
    {
        need(n);
        pos_ += n;
    }

    [[noreturn]] void fail(const QString& detail) const
    {
        throw Error(ErrorCode::Malformed,
                    QStringLiteral("%1 malformado: %2.").arg(QString::fromUtf8(what_), detail));
    }

private:
    const char* data_;
    qsizetype size_;
    qsizetype pos_ = 0;
    const char* what_;
};

// Appends raw bytes. QByteArray::append goes through the general insert path,
// which costs several times more for the small pieces written here.
inline void appendRaw(QByteArray& out, const void* data, qsizetype n)
{
    const qsizetype at = out.size();
    out.resize(at + n);
    std::memcpy(out.data() + at, data, size_t(n));
}

template <typename T> inline void appendLE(QByteArray& out, T value)
{
    const T le = qToLittleEndian(value);
    appendRaw(out, &le, qsizetype(sizeof(T)));
}

inline void appendDouble(QByteArray& out, double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendLE(out, bits);
}

template <typename T> inline T loadLE(const char* at)
{
    T value;
    std::memcpy(&value, at, sizeof(T));
    return qFromLittleEndian(value);
}

inline double loadDouble(const char* at)
{
    const quint64 bits = loadLE<quint64>(at);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace krt::wire
