#include "framework/data/dataset.h"

#include "framework/core/errors.h"

#include <algorithm>

namespace {

// Reads a record other than the current one through the usual field
// accessors (so OnGetText and calculated fields see that record), then puts
// the active record back even when the reader throws.
class ActiveRecordScope
{
public:
    ActiveRecordScope(int& activeRow, int row) : m_activeRow(activeRow), m_saved(activeRow)
    {
        m_activeRow = row;
    }
    ~ActiveRecordScope() { m_activeRow = m_saved; }
    ActiveRecordScope(const ActiveRecordScope&) = delete;
    ActiveRecordScope& operator=(const ActiveRecordScope&) = delete;

private:
    int& m_activeRow;
    int m_saved;
};

QString typeText(krt::FieldType type)
{
    switch (type) {
    case krt::FieldType::String:
        return QStringLiteral("texto");
    case krt::FieldType::Float:
        return QStringLiteral("número");
    case krt::FieldType::DateTime:
        return QStringLiteral("data e hora");
    case krt::FieldType::Boolean:
        return QStringLiteral("lógico");
    case krt::FieldType::Integer:
        return QStringLiteral("inteiro");
    }
    return QString();
}

} // namespace

TDataSet::TDataSet(QObject* parent) : QObject(parent) {}

TDataSet::~TDataSet()
{
    const std::vector<IDataSetObserver*> observers = std::move(m_observers);
    m_observers.clear();
    for (IDataSetObserver* observer : observers)
        observer->dataSetDestroyed();
}

QString TDataSet::Name() const
{
    return objectName().isEmpty() ? QString::fromLatin1(metaObject()->className()) : objectName();
}

void TDataSet::setActive(bool active)
{
    if (active)
        Open();
    else
        Close();
}

void TDataSet::checkNotCalculating(const char* operation) const
{
    if (m_state == dsCalcFields)
        throw EKrtError(QStringLiteral("Não é possível %1 durante o cálculo dos campos do "
                                       "conjunto de dados '%2'.")
                            .arg(QString::fromUtf8(operation), Name()));
}

void TDataSet::Open()
{
    if (Active())
        return;
    if (BeforeOpen)
        BeforeOpen(this);
    if (Active()) // BeforeOpen opened it itself
        return;
    const krt::Packet fetched = fetchContent();
    installContent(fetched);
}

void TDataSet::Close()
{
    if (!Active())
        return;
    checkNotCalculating("fechar");
    if (BeforeClose)
        BeforeClose(this);
    if (!Active())
        return;
    m_content = krt::Packet();
    m_slotOfField.clear();
    m_calcDone.clear();
    m_calcValues.clear();
    m_cursor = m_activeRow = -1;
    m_bof = m_eof = true;
    ++m_generation;
    setState(dsInactive);
    if (AfterClose)
        AfterClose(this);
}

void TDataSet::reopenWith(const krt::Packet& content)
{
    checkNotCalculating("recarregar");
    Close();
    if (BeforeOpen)
        BeforeOpen(this);
    Close(); // a BeforeOpen handler that opened the set itself: the load replaces that
    installContent(content);
}

void TDataSet::installContent(const krt::Packet& content)
{
    std::vector<int> columns = matchColumns(content);
    m_content = content;
    m_slotOfField = std::move(columns);
    m_calcFieldCount = 0;
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i]->Calculated())
            m_slotOfField[i] = m_calcFieldCount++;
    const int rows = m_content.rowCount();
    m_calcDone.assign(m_calcFieldCount > 0 ? size_t(rows) : 0, 0);
    m_calcValues.assign(m_calcFieldCount > 0 ? size_t(rows) : 0, {});
    m_cursor = m_activeRow = rows > 0 ? 0 : -1;
    m_bof = true;
    m_eof = rows == 0;
    const quint64 generation = ++m_generation;

    setState(dsBrowse);
    if (m_generation != generation)
        return; // a state-change handler reloaded or closed the set
    notifyDataChanged();
    if (m_generation != generation)
        return;
    ensureCalculated(m_cursor);
    if (AfterOpen)
        AfterOpen(this);
    if (m_generation == generation && m_cursor >= 0 && AfterScroll)
        AfterScroll(this);
}

std::vector<int> TDataSet::matchColumns(const krt::Packet& content) const
{
    std::vector<int> columns(m_fields.size(), -1);
    const QList<krt::FieldDef>& defs = content.fields();
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const TField* field = m_fields[i];
        if (field->Calculated())
            continue;
        int found = -1;
        for (int c = 0; c < defs.size(); ++c) {
            if (QString::fromUtf8(defs[c].name).compare(field->FieldName(), Qt::CaseInsensitive) ==
                0) {
                found = c;
                break;
            }
        }
        if (found < 0)
            throw EKrtError(QStringLiteral("O pacote de dados não traz o campo '%1' do conjunto de "
                                           "dados '%2'.")
                                .arg(field->FieldName(), Name()));
        if (defs[found].type != field->DataType())
            throw EKrtError(QStringLiteral("O campo '%1' do conjunto de dados '%2' é do tipo %3, "
                                           "mas o pacote de dados o traz como %4.")
                                .arg(field->FieldName(), Name(), typeText(field->DataType()),
                                     typeText(defs[found].type)));
        columns[i] = found;
    }
    return columns;
}

QList<krt::FieldDef> TDataSet::dataFieldDefs() const
{
    QList<krt::FieldDef> defs;
    for (const TField* field : m_fields) {
        if (field->Calculated())
            continue;
        krt::FieldDef def;
        def.name = field->FieldName().toUtf8();
        def.type = field->DataType();
        def.size =
            def.type == krt::FieldType::String ? quint16(qBound(1, field->Size(), 65535)) : 0;
        defs << def;
    }
    return defs;
}

void TDataSet::defineFieldsFrom(const QList<krt::FieldDef>& defs)
{
    for (const krt::FieldDef& def : defs) {
        const QString name = QString::fromUtf8(def.name);
        switch (def.type) {
        case krt::FieldType::String:
            addField<TStringField>(name, def.size);
            break;
        case krt::FieldType::Float:
            addField<TFloatField>(name);
            break;
        case krt::FieldType::DateTime:
            addField<TDateTimeField>(name);
            break;
        case krt::FieldType::Boolean:
            addField<TBooleanField>(name);
            break;
        case krt::FieldType::Integer:
            addField<TIntegerField>(name);
            break;
        }
    }
}

int TDataSet::RecordCount() const
{
    return Active() ? m_content.rowCount() : 0;
}

int TDataSet::RecNo() const
{
    return m_cursor >= 0 ? m_cursor + 1 : 0;
}

void TDataSet::moveCursor(int row, bool bof, bool eof)
{
    checkNotCalculating("mover o cursor");
    if (row == m_cursor) {
        m_bof = bof;
        m_eof = eof;
        return;
    }
    if (BeforeScroll)
        BeforeScroll(this);
    if (!Active() || row >= RecordCount())
        return;
    const quint64 generation = m_generation;
    m_cursor = m_activeRow = row;
    m_bof = bof;
    m_eof = eof;
    notifyCurrentChanged();
    if (m_generation != generation || m_cursor != row)
        return;
    ensureCalculated(row);
    if (AfterScroll)
        AfterScroll(this);
}

void TDataSet::First()
{
    if (IsEmpty()) {
        m_bof = m_eof = true;
        return;
    }
    moveCursor(0, true, false);
}

void TDataSet::Last()
{
    if (IsEmpty()) {
        m_bof = m_eof = true;
        return;
    }
    moveCursor(RecordCount() - 1, false, true);
}

void TDataSet::Next()
{
    MoveBy(1);
}

void TDataSet::Prior()
{
    MoveBy(-1);
}

int TDataSet::MoveBy(int distance)
{
    if (IsEmpty()) {
        m_bof = m_eof = true;
        return 0;
    }
    if (distance == 0)
        return 0;
    const int last = RecordCount() - 1;
    const qint64 wanted = qint64(m_cursor) + distance;
    const int target = int(std::clamp<qint64>(wanted, 0, last));
    const int moved = target - m_cursor;
    moveCursor(target, wanted<0, wanted> last);
    return moved;
}

bool TDataSet::MoveTo(int index)
{
    if (index < 0 || index >= RecordCount())
        return false;
    moveCursor(index, false, false);
    return true;
}

bool TDataSet::Locate(const QString& fieldName, const QVariant& value, TLocateOptions options)
{
    const TField* field = FieldByName(fieldName);
    const bool isText = field->DataType() == krt::FieldType::String;
    const QVariant wanted = isText ? value : field->convertToFieldType(value);
    const QString key = value.toString();
    const Qt::CaseSensitivity cs =
        options.testFlag(loCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const int rows = RecordCount();
    for (int row = 0; row < rows; ++row) {
        const QVariant v = valueAt(row, field);
        bool match = false;
        if (wanted.isNull())
            match = v.isNull();
        else if (v.isNull())
            match = false;
        else if (isText)
            match = options.testFlag(loPartialKey) ? v.toString().startsWith(key, cs)
                                                   : v.toString().compare(key, cs) == 0;
        else
            match = v == wanted;
        if (match) {
            MoveTo(row);
            return true;
        }
    }
    return false;
}

TField* TDataSet::FindField(const QString& fieldName) const
{
    for (TField* field : m_fields)
        if (field->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return field;
    return nullptr;
}

TField* TDataSet::FieldByName(const QString& fieldName) const
{
    if (TField* field = FindField(fieldName))
        return field;
    throw EKrtError(QStringLiteral("Campo '%1' não encontrado no conjunto de dados '%2'.")
                        .arg(fieldName, Name()));
}

TField* TDataSet::adoptField(std::unique_ptr<TField> field)
{
    // Throwing here destroys the field, which nobody else holds.
    if (field->DataSet() != this)
        throw EKrtError(QStringLiteral("O campo '%1' não pertence ao conjunto de dados '%2'.")
                            .arg(field->FieldName(), Name()));
    if (Active())
        throw EKrtError(QStringLiteral("Não é possível definir o campo '%1' com o conjunto de "
                                       "dados '%2' aberto.")
                            .arg(field->FieldName(), Name()));
    if (FindField(field->FieldName()))
        throw EKrtError(QStringLiteral("O campo '%1' já existe no conjunto de dados '%2'.")
                            .arg(field->FieldName(), Name()));
    static_cast<IOwnedField&>(*field).adoptedAt(int(m_fields.size()));
    m_fields.push_back(field.get());
    m_ownedFields.push_back(std::move(field));
    return m_fields.back();
}

TStringField* TDataSet::addStringField(const QString& name, int size, const QString& label,
                                       bool visible)
{
    auto* f = addField<TStringField>(name, size);
    f->setDisplayLabel(label);
    f->setVisible(visible);
    return f;
}

TFloatField* TDataSet::addFloatField(const QString& name, const QString& label,
                                     const QString& displayFormat, bool visible)
{
    auto* f = addField<TFloatField>(name);
    f->setDisplayLabel(label);
    f->setDisplayFormat(displayFormat);
    f->setVisible(visible);
    return f;
}

TDateTimeField* TDataSet::addDateTimeField(const QString& name, const QString& label, bool visible)
{
    auto* f = addField<TDateTimeField>(name);
    f->setDisplayLabel(label);
    f->setVisible(visible);
    return f;
}

TBooleanField* TDataSet::addBooleanField(const QString& name, const QString& label, TFieldKind kind)
{
    auto* f = addField<TBooleanField>(name);
    f->setDisplayLabel(label);
    f->setFieldKind(kind);
    return f;
}

TIntegerField* TDataSet::addIntegerField(const QString& name, const QString& label)
{
    auto* f = addField<TIntegerField>(name);
    f->setDisplayLabel(label);
    return f;
}

QVariant TDataSet::storedValue(int row, const TField* field) const
{
    const int col = m_slotOfField[size_t(field->Index())];
    if (m_content.isNull(row, col))
        return QVariant();
    switch (field->DataType()) {
    case krt::FieldType::String:
        return m_content.textQ(row, col);
    case krt::FieldType::Float:
        return m_content.number(row, col);
    case krt::FieldType::DateTime:
        return m_content.dateTime(row, col);
    case krt::FieldType::Boolean:
        return m_content.boolean(row, col);
    case krt::FieldType::Integer:
        return m_content.integer(row, col);
    }
    return QVariant();
}

QVariant TDataSet::fieldValue(const TField& field) const
{
    const int row = m_activeRow;
    if (!Active() || row < 0 || row >= m_content.rowCount() || field.DataSet() != this ||
        size_t(field.Index()) >= m_slotOfField.size())
        return QVariant();
    if (!field.Calculated())
        return storedValue(row, &field);
    ensureCalculated(row);
    const std::vector<QVariant>& values = m_calcValues[size_t(row)];
    const int slot = m_slotOfField[size_t(field.Index())];
    return size_t(slot) < values.size() ? values[size_t(slot)] : QVariant();
}

void TDataSet::storeCalculatedValue(const TField& field, const QVariant& value)
{
    const int row = m_activeRow;
    if (!Active() || row < 0 || row >= m_content.rowCount() || field.DataSet() != this ||
        size_t(field.Index()) >= m_slotOfField.size())
        throw EKrtError(QStringLiteral("Não há registro corrente no conjunto de dados '%1' para "
                                       "o campo '%2'.")
                            .arg(Name(), field.FieldName()));
    std::vector<QVariant>& values = m_calcValues[size_t(row)];
    values.resize(size_t(m_calcFieldCount));
    values[size_t(m_slotOfField[size_t(field.Index())])] = value;
}

void TDataSet::ensureCalculated(int row) const
{
    if (m_calcFieldCount == 0 || row < 0 || size_t(row) >= m_calcDone.size() ||
        m_calcDone[size_t(row)])
        return;
    auto* self = const_cast<TDataSet*>(this);
    // Marked first: a handler reading its own calculated fields must not recurse.
    m_calcDone[size_t(row)] = 1;
    m_calcValues[size_t(row)].assign(size_t(m_calcFieldCount), QVariant());
    if (!OnCalcFields)
        return;
    const TDataSetState savedState = m_state;
    ActiveRecordScope scope(m_activeRow, row);
    self->m_state = dsCalcFields;
    try {
        OnCalcFields(self);
    } catch (...) {
        self->m_state = savedState;
        m_calcDone[size_t(row)] = 0; // try again next time the record is read
        throw;
    }
    self->m_state = savedState;
}

QVariant TDataSet::valueAt(int row, const TField* field) const
{
    if (!Active() || row < 0 || row >= m_content.rowCount())
        return QVariant();
    ActiveRecordScope scope(m_activeRow, row);
    return field->Value();
}

QString TDataSet::displayTextAt(int row, const TField* field) const
{
    if (!Active() || row < 0 || row >= m_content.rowCount())
        return QString();
    ActiveRecordScope scope(m_activeRow, row);
    return field->DisplayText();
}

void TDataSet::setState(TDataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
    notifyObservers([](IDataSetObserver& o) { o.dataSetStateChanged(); });
}

void TDataSet::notifyDataChanged()
{
    emit dataChanged();
    notifyObservers([](IDataSetObserver& o) { o.dataSetContentChanged(false); });
}

void TDataSet::notifyCurrentChanged()
{
    emit currentChanged();
    notifyObservers([](IDataSetObserver& o) { o.dataSetContentChanged(true); });
}

void TDataSet::notifyObservers(const std::function<void(IDataSetObserver&)>& notice)
{
    // An observer's hook may unlink (or destroy) another: each is told only
    // while it is still linked.
    const std::vector<IDataSetObserver*> observers = m_observers;
    for (IDataSetObserver* observer : observers)
        if (std::find(m_observers.begin(), m_observers.end(), observer) != m_observers.end())
            notice(*observer);
}

void TDataSet::addObserver(IDataSetObserver* observer)
{
    if (observer &&
        std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void TDataSet::removeObserver(IDataSetObserver* observer)
{
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer),
                      m_observers.end());
}
