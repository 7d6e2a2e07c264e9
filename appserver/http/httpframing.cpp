#include "appserver/http/httpframing.h"

#include <algorithm>
#include <boost/beast/http/error.hpp>
#include <cctype>
#include <string_view>

namespace krt::framing {

namespace beast = boost::beast;
namespace http = beast::http;

std::size_t readBufferBytes(int headerBytes, std::size_t bodyReadBytes)
{
    // The parser must see a whole head before the buffer fills, so that an
    // oversize head is reported as such (431) and not as a full buffer.
    return std::max<std::size_t>(bodyReadBytes, std::size_t(std::max(headerBytes, 0)) + 1024);
}

bool holdsTrailer(const beast::flat_buffer& unparsed)
{
    const auto data = unparsed.cdata();
    std::string_view held(static_cast<const char*>(data.data()), data.size());
    // The CRLF closing the previous chunk's data is read with the next line.
    if (held.starts_with("\r\n"))
        held.remove_prefix(2);
    std::size_t digits = 0;
    while (digits < held.size() && held[digits] == '0')
        ++digits;
    if (digits == 0 ||
        (digits < held.size() && std::isxdigit(static_cast<unsigned char>(held[digits]))))
        return false;
    // The last-chunk line ended: whatever waits after it is the trailer.
    return held.find("\r\n", digits) != std::string_view::npos;
}

Refusal refusalFor(const beast::error_code& ec, Phase phase, const beast::flat_buffer& unparsed,
                   std::uint64_t bodyLimit, int headerBytes, const QString& method)
{
    if (ec == http::error::body_limit)
        return {413, QStringLiteral("Chamada recusada: corpo maior que o limite de %1 bytes (%2).")
                         .arg(bodyLimit)
                         .arg(method)};
    if (ec == http::error::bad_version)
        return {505, QStringLiteral("Versão de HTTP não suportada (aceitas 1.0 e 1.1).")};
    if (ec == http::error::header_limit ||
        (ec == http::error::buffer_overflow && phase == Phase::Head))
        return {431, QStringLiteral("Pedido HTTP recusado: cabeçalho maior que o limite de %1 "
                                    "bytes.")
                         .arg(headerBytes)};
    if (ec == http::error::buffer_overflow) {
        const std::size_t held = unparsed.max_size();
        if (holdsTrailer(unparsed))
            return {431, QStringLiteral("Pedido HTTP recusado: trailer do corpo em partes maior "
                                        "que o limite de %1 bytes (%2).")
                             .arg(held)
                             .arg(method)};
        return {400, QStringLiteral("Pedido HTTP inválido: linha de tamanho de parte (chunk) "
                                    "maior que o limite de %1 bytes (%2).")
                         .arg(held)
                         .arg(method)};
    }
    return {400,
            QStringLiteral("Pedido HTTP inválido: %1.").arg(QString::fromStdString(ec.message()))};
}

} // namespace krt::framing
