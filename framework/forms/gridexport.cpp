#include "framework/forms/gridexport.h"

#include "framework/core/errors.h"
#include "framework/widgets/dbgrid.h"

#include <QFile>

namespace krt {

namespace {

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString cell(const DataSetModel* model, int row, int column)
{
    return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

} // namespace

QString gridToCsv(const TDBGrid* grid)
{
    const DataSetModel* model = grid->dataModel();
    QString out;
    const int cols = model->columnCount();
    for (int c = 0; c < cols; ++c) {
        if (c)
            out += QLatin1Char(';');
        out += csvField(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    }
    out += QLatin1String("\r\n");
    for (int r = 0; r < model->rowCount(); ++r) {
        for (int c = 0; c < cols; ++c) {
            if (c)
                out += QLatin1Char(';');
            out += csvField(cell(model, r, c));
        }
        out += QLatin1String("\r\n");
    }
    return out;
}

QString gridToHtml(const TDBGrid* grid, const QString& title)
{
    const DataSetModel* model = grid->dataModel();
    QString html = QStringLiteral("<h3>%1</h3><table border=\"1\" cellspacing=\"0\" "
                                  "cellpadding=\"2\"><tr>")
                       .arg(title.toHtmlEscaped());
    const int cols = model->columnCount();
    for (int c = 0; c < cols; ++c)
        html += QStringLiteral("<th>%1</th>")
                    .arg(model->headerData(c, Qt::Horizontal, Qt::DisplayRole)
                             .toString()
                             .toHtmlEscaped());
    html += QLatin1String("</tr>");
    for (int r = 0; r < model->rowCount(); ++r) {
        html += QLatin1String("<tr>");
        for (int c = 0; c < cols; ++c)
            html += QStringLiteral("<td>%1</td>").arg(cell(model, r, c).toHtmlEscaped());
        html += QLatin1String("</tr>");
    }
    html += QLatin1String("</table>");
    return html;
}

void writeCsvFile(const QString& path, const QString& text)
{
    // The byte-order mark tells a spreadsheet the file is UTF-8: without it
    // a Portuguese one reads the accents as the local code page.
    writeTextFile(path, QChar(0xFEFF) + text);
}

void writeTextFile(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0 ||
        !file.flush())
        throw EKrtError(QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2")
                            .arg(path, file.errorString()));
}

} // namespace krt
