#include "appserver/server/configfile.h"

#include "framework/wire/errors.h"

#include <QFile>

namespace krt::app {

namespace {

QString lineError(const QString& path, int line, const QString& message)
{
    return QStringLiteral("%1, linha %2: %3").arg(path).arg(line).arg(message);
}

} // namespace

ConfigFile ConfigFile::read(const QString& path, const QStringList& names)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(ErrorCode::InvalidArgument,
                    QStringLiteral("não foi possível ler o arquivo de configuração %1 (%2).")
                        .arg(path, file.errorString()));
    ConfigFile config;
    config.path_ = path;
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (number == 1 && line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            throw Error(
                ErrorCode::InvalidArgument,
                lineError(
                    path, number,
                    QStringLiteral("falta \"=\" (cada linha é \"opção = valor\"): %1").arg(line)));
        const QString name = line.left(equals).trimmed();
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
            value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        if (!names.contains(name))
            throw Error(
                ErrorCode::InvalidArgument,
                lineError(path, number, QStringLiteral("opção desconhecida \"%1\".").arg(name)));
        if (config.entries_.contains(name))
            throw Error(ErrorCode::InvalidArgument,
                        lineError(path, number,
                                  QStringLiteral("a opção %1 já foi dada na linha %2.")
                                      .arg(name)
                                      .arg(config.entries_.value(name).line)));
        if (value.isEmpty())
            throw Error(
                ErrorCode::InvalidArgument,
                lineError(path, number, QStringLiteral("a opção %1 está sem valor.").arg(name)));
        config.entries_.insert(name, {value, number});
    }
    return config;
}

QString ConfigFile::at(const QString& name, const QString& message) const
{
    return lineError(path_, entries_.value(name).line, message);
}

} // namespace krt::app
