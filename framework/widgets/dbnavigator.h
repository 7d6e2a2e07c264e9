#pragma once

#include <QPointer>
#include <QWidget>

class QToolButton;
#include "framework/data/dataset.h"
#include "framework/data/datasource.h"

// First / prior / next / last over the data set of a data source. A move runs
// through the handler boundary; the buttons follow the cursor (first and prior
// are disabled on the first record, next and last on the last one).
class TDBNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button
    {
        nbFirst,
        nbPrior,
        nbNext,
        nbLast
    };

    explicit TDBNavigator(QWidget* parent = nullptr);

    void setDataSource(TDataSource* source);
    TDataSource* DataSource() const { return m_source; }

    // Presses a button (as the user would).
    void BtnClick(Button button);
    QToolButton* button(Button button) const { return m_buttons[button]; }

private:
    void updateButtons();

    QPointer<TDataSource> m_source;
    QToolButton* m_buttons[4];
    QList<QMetaObject::Connection> m_links;
};
