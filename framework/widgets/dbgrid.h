#pragma once

#include "framework/core/handlerboundary.h"
#include "framework/widgets/datasetmodel.h"

#include <QHash>
#include <QTableView>

class TDataSet;
class TDataSource;

// Read-only data-aware grid. The current row and the data set's cursor move
// together: moving the set selects its record, and a row the user picks
// moves the set (through the handler boundary, so an error raised by the
// set's after-scroll handler is shown and ends at the grid).
class TDBGrid : public QTableView
{
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);

    void setDataSource(TDataSource* source);
    TDataSource* DataSource() const;

    // Explicit columns (none: the visible fields).
    void setColumns(const QList<krt::GridColumn>& columns);
    void addColumn(const QString& fieldName, int width = 0, const QString& title = {});
    const QList<krt::GridColumn>& Columns() const { return m_model->columns(); }
    krt::DataSetModel* dataModel() const { return m_model; }

    // Background colour of the cells (info colour for detail grids).
    void setColor(const QColor& color);

    // Key hooks: key code (may be set to 0 to swallow the key) and modifiers;
    // the printable character (may be cleared to swallow it).
    std::function<void(QObject* sender, int& key, Qt::KeyboardModifiers shift)> OnKeyDown;
    std::function<void(QObject* sender, QChar& key)> OnKeyPress;

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void followDataSet();
    void applyWidths();
    // The width that shows the column's title and the values loaded.
    int fittingWidth(int column) const;

    krt::DataSetModel* m_model;
    QMetaObject::Connection m_cursorLink;
    bool m_syncing = false;
    bool m_applyingWidths = false;
    // Widths the user dragged, by field name.
    QHash<QString, int> m_userWidths;
    // What the widths were last fitted to: a load announces itself twice
    // (the set opens, then its rows change) and measuring costs a pass over
    // the rows. Opening and closing both start a new generation.
    struct Fitted
    {
        const TDataSet* dataSet = nullptr;
        quint64 generation = 0;
        bool operator==(const Fitted&) const = default;
    };
    Fitted m_fitted;
    Fitted currentContent() const;
};
