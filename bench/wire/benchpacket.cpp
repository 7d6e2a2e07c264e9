// Encodes and decodes a 100,000-row invoice list (the ten fields of the main
// invoice list) as a data packet and as JSON text, and compares the times.
// The last line of output is the speed-up of packets over JSON.

#include "allocationcounter.h"
#include "api/packetfields.h"
#include "framework/wire/packet.h"

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 100000;
constexpr int kRuns = 3;

struct Row
{
    std::string text[8]; // the eight string fields, in field order
    QDateTime emissao;
    QDateTime saida;
    std::string emissaoIso;
    std::string saidaIso;
    bool emissaoNull;
};

// Field order: CDFILIAL CDCLIENTE CDFILIALNF NRLANCTONF NMRAZSOCCLIE DTEMISSAO
// NRNOTAFISC IDSTATUS DTENTRSAID NAVEGA.
constexpr int kTextColumn[8] = {0, 1, 2, 3, 4, 6, 7, 9};

std::vector<Row> makeRows()
{
    static const char* names[] = {"Supermercado São João Ltda", "Padaria Pão de Açúcar",
                                  "José Antônio Conceição", "Comércio de Alimentos Ávila"};
    std::vector<Row> rows(kRows);
    const QDateTime base(QDate(2024, 1, 1), QTime(8, 0));
    for (int i = 0; i < kRows; ++i) {
        Row& r = rows[size_t(i)];
        const std::string n = std::to_string(i);
        r.text[0] = "0001";
        r.text[1] = "CLI" + n;
        r.text[2] = "0001";
        r.text[3] = std::to_string(1000000 + i);
        r.text[4] = names[i % 4];
        r.text[5] = "NF" + std::to_string(500000 + i);
        r.text[6] = i % 7 == 0 ? "A" : "N";
        r.text[7] = "Nota " + r.text[5] + " - " + r.text[4];
        r.emissao = base.addSecs(qint64(i) * 61);
        r.saida = r.emissao.addDays(1);
        r.emissaoIso = r.emissao.toString(Qt::ISODateWithMs).toStdString();
        r.saidaIso = r.saida.toString(Qt::ISODateWithMs).toStdString();
        r.emissaoNull = i % 10 == 9;
    }
    return rows;
}

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

QByteArray encodePacket(const std::vector<Row>& rows)
{
    krt::PacketWriter w(krt::api::packetFields("qryPrincipal"));
    w.reserve(int(rows.size()), 200);
    for (const Row& r : rows) {
        for (int c = 0, t = 0; c < 10; ++c) {
            if (c == 5)
                r.emissaoNull ? w.addNull() : w.addDateTime(r.emissao);
            else if (c == 8)
                w.addDateTime(r.saida);
            else
                w.addText(std::string_view(r.text[t++]));
        }
    }
    return w.finish().bytes();
}

// Reads every value so that decoding is not just indexing.
std::size_t decodePacket(const QByteArray& bytes)
{
    const krt::Packet p = krt::Packet::decode(bytes);
    std::size_t checksum = 0;
    for (int r = 0; r < p.rowCount(); ++r) {
        for (int c : kTextColumn)
            checksum += p.text(r, c).size();
        // Dates stay raw on both sides (JSON keeps its ISO texts unparsed).
        if (!p.isNull(r, 5))
            checksum += size_t(p.dateTimeMs(r, 5) & 0xFF);
        checksum += size_t(p.dateTimeMs(r, 8) & 0xFF);
    }
    return checksum;
}

std::string encodeJson(const std::vector<Row>& rows)
{
    using nlohmann::json;
    json fields = json::array();
    for (const krt::FieldDef& f : krt::api::packetFields("qryPrincipal"))
        fields.push_back({{"name", f.name.toStdString()},
                          {"type", krt::fieldTypeName(f.type).toStdString()},
                          {"size", f.size}});
    json data = json::array();
    for (const Row& r : rows) {
        json row = json::array();
        for (int c = 0, t = 0; c < 10; ++c) {
            if (c == 5)
                row.push_back(r.emissaoNull ? json(nullptr) : json(r.emissaoIso));
            else if (c == 8)
                row.push_back(r.saidaIso);
            else
                row.push_back(r.text[t++]);
        }
        data.push_back(std::move(row));
    }
    return json{{"fields", std::move(fields)}, {"rows", std::move(data)}}.dump();
}

std::size_t decodeJson(const std::string& text)
{
    const nlohmann::json doc = nlohmann::json::parse(text);
    std::size_t checksum = 0;
    for (const auto& row : doc.at("rows")) {
        for (int c : kTextColumn)
            checksum += row[size_t(c)].get_ref<const std::string&>().size();
        if (!row[5].is_null())
            checksum += row[5].get_ref<const std::string&>().size();
        checksum += row[8].get_ref<const std::string&>().size();
    }
    return checksum;
}

struct Result
{
    double encodeMs = 1e300;
    double decodeMs = 1e300;
    std::size_t bytes = 0;
    std::size_t encodeAllocs = 0;
    std::size_t decodeAllocs = 0;
    std::size_t checksum = 0;
};

template <typename Encode, typename Decode> Result measure(Encode encode, Decode decode)
{
    Result best;
    for (int run = 0; run < kRuns; ++run) {
        alloccount::start();
        auto t = Clock::now();
        auto encoded = encode();
        const double enc = msSince(t);
        const std::size_t encAllocs = alloccount::stop();

        alloccount::start();
        t = Clock::now();
        const std::size_t sum = decode(encoded);
        const double dec = msSince(t);
        const std::size_t decAllocs = alloccount::stop();

        if (enc + dec < best.encodeMs + best.decodeMs) {
            best = {enc, dec, size_t(encoded.size()), encAllocs, decAllocs, sum};
        }
    }
    return best;
}

} // namespace

int main()
{
    const std::vector<Row> rows = makeRows();
    const Result packet = measure([&] { return encodePacket(rows); },
                                  [](const QByteArray& b) { return decodePacket(b); });
    const Result json = measure([&] { return encodeJson(rows); },
                                [](const std::string& s) { return decodeJson(s); });

    const auto print = [](const char* name, const Result& r) {
        std::printf("%-6s encode %8.1f ms  decode %8.1f ms  total %8.1f ms  %9zu bytes  "
                    "allocations: encode %zu, decode %zu (%.3f per value)\n",
                    name, r.encodeMs, r.decodeMs, r.encodeMs + r.decodeMs, r.bytes, r.encodeAllocs,
                    r.decodeAllocs,
                    double(r.encodeAllocs + r.decodeAllocs) / (double(kRows) * 10.0));
    };
    std::printf("rows: %d, fields: 10 (best of %d runs)\n", kRows, kRuns);
    print("packet", packet);
    print("json", json);
    std::printf("packet vs JSON speedup: %.1f\n",
                (json.encodeMs + json.decodeMs) / (packet.encodeMs + packet.decodeMs));
    return 0;
}
