#include "appserver/methods/shapes.h"

namespace krt::app::shapes {

namespace {

FieldDef s(const char* name, quint16 size)
{
    return FieldDef{QByteArray(name), FieldType::String, size};
}
FieldDef f(const char* name)
{
    return FieldDef{QByteArray(name), FieldType::Float, 0};
}
FieldDef d(const char* name)
{
    return FieldDef{QByteArray(name), FieldType::DateTime, 0};
}

} // namespace

const QList<FieldDef>& principal()
{
    static const QList<FieldDef> fields{
        s("CDFILIAL", 4),      s("CDCLIENTE", 21), s("CDFILIALNF", 4),  s("NRLANCTONF", 10),
        s("NMRAZSOCCLIE", 50), d("DTEMISSAO"),     s("NRNOTAFISC", 20), s("IDSTATUS", 1),
        d("DTENTRSAID"),       s("NAVEGA", 72)};
    return fields;
}

const QList<FieldDef>& itemVenda()
{
    static const QList<FieldDef> fields{
        s("CDFILIAL", 4),    s("NRSEQVENDA", 10),   s("CDCLIENTE", 21),   s("CDCAIXA", 3),
        d("DTENTRVENDA"),    s("IDTIPOIMPV", 1),    s("NMPRODUTO", 50),   f("QTPRODVEND"),
        f("VRUNITVEND"),     f("TOTITEM"),          s("NRSEQUITVEND", 3), f("VRDESITVEND"),
        s("CDPRODESTO", 10), s("NMRAZSOCCLIE", 50), s("NRLANCTONF", 10),  s("NRCUPOMFIS", 10),
        s("CDFILIALNF", 4),  s("NMCONSUMIDOR", 50), s("CDPRODUTO", 10),   s("CDARVPROD", 20)};
    return fields;
}

const QList<FieldDef>& itemProduto()
{
    static const QList<FieldDef> fields{s("CDPRODUTO", 10), s("NMPRODUTO", 50), f("QTITEMPROD"),
                                        f("VRUNITITEM"), f("VRTOTAITEM")};
    return fields;
}

const QList<FieldDef>& itLanctoEst()
{
    static const QList<FieldDef> fields{s("NRLANCESTQ", 10), s("NRSEQUITEM", 4), s("CDPRODUTO", 10),
                                        s("NMPRODUTO", 50),  f("QTLANCTOEST"),   f("VRUNILANCTO"),
                                        f("VRTOTLANCTO"),    s("CDARVPROD", 20)};
    return fields;
}

const QList<FieldDef>& retLanctoEstq()
{
    static const QList<FieldDef> fields{s("CDFILIAL", 4), s("NRRETEST", 10), s("NRLANCESTQ", 10),
                                        d("DTLANCESTQ")};
    return fields;
}

const QList<FieldDef>& retItLanctoEst()
{
    static const QList<FieldDef> fields{s("NRLANCESTQ", 10), s("CDARVPROD", 20), s("NMPRODUTO", 50),
                                        f("QTLANCTOEST"),    f("VRUNILANCTO"),   f("VRTOTLANCTO")};
    return fields;
}

const QList<FieldDef>& paramFilial()
{
    static const QList<FieldDef> fields{s("IDUTILALMOX", 1), s("IDUTILLCESTQ", 1),
                                        s("IDCTRLESTQ", 1)};
    return fields;
}

const QList<FieldDef>& paramVend()
{
    static const QList<FieldDef> fields{s("CDLOJA", 10), s("IDTESESTCONS", 1), s("NMLOJA", 50)};
    return fields;
}

const QList<FieldDef>& inforPad()
{
    static const QList<FieldDef> fields{s("CDSERIE", 5)};
    return fields;
}

const QList<FieldDef>& venda()
{
    static const QList<FieldDef> fields{s("IDMARCADO", 1), s("CHAVE", 14),
                                        s("CDCAIXA", 3),   s("NRSEQVENDA", 10),
                                        s("DTVENDA", 20),  s("NMRAZSOCCLIE", 50)};
    return fields;
}

const QList<FieldDef>& lancamento()
{
    static const QList<FieldDef> fields{
        s("IDMARCADO", 1),   s("CDFILIAL", 4),    s("CDCLIENTE", 21),    s("CDFILIALNF", 4),
        s("IDSTATUS", 1),    s("NRLANCTONF", 10), s("NMRAZSOCCLIE", 50), s("DTEMISSAO", 10),
        s("NRNOTAFISC", 20), d("DTENTRSAID"),     s("CHAVE", 14)};
    return fields;
}

} // namespace krt::app::shapes
