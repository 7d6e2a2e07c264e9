#pragma once

#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

// Reads a SQLite database beside the process that changes it (SQLite lets
// readers in while another process writes), on a connection of its own.
class DatabaseProbe
{
public:
    explicit DatabaseProbe(const QString& file, const QString& name = QStringLiteral("probe"))
        : name_(name)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(file);
        db.open();
    }
    ~DatabaseProbe()
    {
        {
            QSqlDatabase::database(name_).close();
        }
        QSqlDatabase::removeDatabase(name_);
    }
    DatabaseProbe(const DatabaseProbe&) = delete;
    DatabaseProbe& operator=(const DatabaseProbe&) = delete;

    // The first column of the first row (a count); -1 when the query fails.
    int count(const QString& sql, const QVariantList& binds = {}) const
    {
        QSqlQuery q = run(sql, binds);
        return q.isActive() && q.next() ? q.value(0).toInt() : -1;
    }

    // Key → sum of the values, from a query of two columns.
    QMap<QString, double> perKey(const QString& sql, const QVariantList& binds = {}) const
    {
        QMap<QString, double> out;
        QSqlQuery q = run(sql, binds);
        while (q.next())
            out[q.value(0).toString()] += q.value(1).toDouble();
        return out;
    }

private:
    QSqlQuery run(const QString& sql, const QVariantList& binds) const
    {
        QSqlQuery q(QSqlDatabase::database(name_));
        q.prepare(sql);
        for (const QVariant& b : binds)
            q.addBindValue(b);
        q.exec();
        return q;
    }

    QString name_;
};
