// krt-packet-dump: prints a data packet, call or reply file as JSON.

#include "framework/wire/jsonview.h"

#include <QFile>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "Uso: krt-packet-dump ARQUIVO [--compacto]\n"
                             "Mostra como JSON um pacote de dados, uma chamada ou uma resposta.\n"
                             "ARQUIVO \"-\" lê a entrada padrão.\n");
        return 2;
    }
    const bool compact = argc == 3 && std::strcmp(argv[2], "--compacto") == 0;
    if (argc == 3 && !compact) {
        std::fprintf(stderr, "Opção desconhecida: %s\n", argv[2]);
        return 2;
    }
    QFile file;
    const bool stdinInput = std::strcmp(argv[1], "-") == 0;
    const bool opened = stdinInput ? file.open(stdin, QIODevice::ReadOnly)
                                   : (file.setFileName(QString::fromLocal8Bit(argv[1])),
                                      file.open(QIODevice::ReadOnly));
    if (!opened) {
        std::fprintf(stderr, "Não foi possível abrir %s: %s\n", argv[1],
                     file.errorString().toLocal8Bit().constData());
        return 1;
    }
    try {
        const std::string text = krt::wireBytesToJson(file.readAll(), compact ? -1 : 2);
        std::printf("%s\n", text.c_str());
    } catch (const krt::Error& e) {
        std::fprintf(stderr, "%s: %s\n", argv[1], e.text().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
