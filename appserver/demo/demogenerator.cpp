#include "appserver/demo/demogenerator.h"

#include "appserver/auth/users.h"

#include "appserver/consolidation/consolidator.h"
#include "appserver/db/sql.h"

#include <QRandomGenerator>
#include <QStringList>
#include <cmath>

namespace krt::app {

namespace {

QString padded(qint64 n, int width)
{
    return QString::number(n).rightJustified(width, QLatin1Char('0'));
}

const QStringList& productNames()
{
    static const QStringList names{QStringLiteral("Café Torrado e Moído 500g"),
                                   QStringLiteral("Açúcar Cristal 1kg"),
                                   QStringLiteral("Feijão Carioca 1kg"),
                                   QStringLiteral("Arroz Agulhinha 5kg"),
                                   QStringLiteral("Pão de Queijo Congelado"),
                                   QStringLiteral("Óleo de Soja 900ml"),
                                   QStringLiteral("Macarrão Espaguete 500g"),
                                   QStringLiteral("Leite Longa Vida 1L"),
                                   QStringLiteral("Sabão em Pó 1kg"),
                                   QStringLiteral("Farinha de Mandioca"),
                                   QStringLiteral("Guaraná 2L"),
                                   QStringLiteral("Biscoito Maisena"),
                                   QStringLiteral("Requeijão Cremoso"),
                                   QStringLiteral("Manteiga com Sal 200g"),
                                   QStringLiteral("Água Mineral 1,5L")};
    return names;
}

const QStringList& customerNames()
{
    static const QStringList names{QStringLiteral("Mercearia São João Ltda"),
                                   QStringLiteral("Padaria D'Ávila & Filhos"),
                                   QStringLiteral("Bar do Zé; SELECT * FROM VENDA --"),
                                   QStringLiteral("Restaurante Sabor Caipira"),
                                   QStringLiteral("Conceição Araújo Comércio"),
                                   QStringLiteral("Lanchonete O'Brien"),
                                   QStringLiteral("Supermercado Irmãos Güntzel"),
                                   QStringLiteral("Cantina Dona Inês"),
                                   QStringLiteral("Empório Três Corações"),
                                   QStringLiteral("Hotel Pousada Açaí")};
    return names;
}

const QStringList& consumerNames()
{
    static const QStringList names{QStringLiteral("João da Silva"), QStringLiteral("Maria José"),
                                   QStringLiteral("Antônio Pereira"),
                                   QStringLiteral("Luíza Gonçalves")};
    return names;
}

double round2(double v)
{
    return std::round(v * 100.0) / 100.0;
}

} // namespace

DemoConfig DemoConfig::forInvoices(int invoices)
{
    DemoConfig c;
    c.companies = 1;
    c.branchesPerCompany = 1;
    c.storesPerBranch = 1;
    c.registersPerStore = 5;
    c.days = 100;
    c.invoiceShare = 0.8;
    c.maxItemsPerSale = 2;
    c.products = 200;
    c.oneInvoicePerSale = true;
    const double perRegisterDay = invoices / (c.days * c.registersPerStore * c.invoiceShare);
    c.salesPerRegisterPerDay = std::max(1, int(std::ceil(perRegisterDay)));
    c.customers = int(std::ceil(perRegisterDay * c.registersPerStore)) + 10;
    return c;
}

DemoSummary generateDemo(Database& database, const DemoConfig& c)
{
    QRandomGenerator rng(c.seed);
    DemoSummary sum;
    QSqlDatabase db = database.connection();
    QStringList branches;
    QList<QPair<QString, QString>> stores;
    {
        Transaction tx(db, database.kind(), Transaction::Mode::Write);
        Query empresa(db, QStringLiteral("INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA, NMRAZSOCEMPR)"
                                         " VALUES (?, ?, ?)"));
        Query filial(db,
                     QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, CDEMPRESA, "
                                    "CDINSCESTA, CDSERIE, CDINSCMUNI) VALUES (?, ?, ?, ?, ?, ?)"));
        Query loja(db,
                   QStringLiteral("INSERT INTO LOJA (CDFILIAL, CDLOJA, NMLOJA) VALUES (?, ?, ?)"));
        Query caixa(db, QStringLiteral("INSERT INTO CAIXA (CDFILIAL, CDCAIXA, CDLOJA, NMCAIXA)"
                                       " VALUES (?, ?, ?, ?)"));
        Query periodo(db, QStringLiteral("INSERT INTO PERIODOCTB (CDEMPRESA, CDFILIAL, DTINICIAL, "
                                         "DTFINAL) VALUES (?, '', ?, ?)"));
        Query inforPad(db,
                       QStringLiteral("INSERT INTO INFORPAD (CDFILIAL, CDSERIE) VALUES (?, ?)"));
        Query paramFilial(db,
                          QStringLiteral("INSERT INTO PARAMFILIAL (CDFILIAL, IDUTILALMOX, "
                                         "IDUTILLCESTQ, IDCTRLESTQ) VALUES (?, 'N', 'S', 'S')"));
        Query paramVend(db, QStringLiteral("INSERT INTO PARAMVEND (CDFILIAL, CDLOJA, IDTESESTCONS)"
                                           " VALUES (?, ?, 'N')"));
        int branchNo = 0;
        for (int e = 1; e <= c.companies; ++e) {
            const QString company = padded(e, 2);
            empresa.bindText(company)
                .bindText(QStringLiteral("Empresa %1").arg(e))
                .bindText(QStringLiteral("Comércio de Alimentos Krt %1 S.A.").arg(e))
                .exec();
            periodo.bindText(company)
                .bindDate(c.firstDay.addDays(-60))
                .bindDate(c.lastDay().addDays(60))
                .exec();
            for (int f = 1; f <= c.branchesPerCompany; ++f) {
                const QString branch = padded(++branchNo, 4);
                branches << branch;
                filial.bindText(branch)
                    .bindText(QStringLiteral("Filial %1 - São Paulo").arg(branchNo))
                    .bindText(company)
                    .bindText(padded(110042490 + branchNo, 12))
                    .bindText(QStringLiteral("1"))
                    .bindText(padded(3000 + branchNo, 8))
                    .exec();
                inforPad.bindText(branch).bindText(QStringLiteral("1")).exec();
                paramFilial.bindText(branch).exec();
                int registerNo = 0;
                for (int l = 1; l <= c.storesPerBranch; ++l) {
                    const QString store = QStringLiteral("LJ%1").arg(padded(l, 2));
                    stores.append({branch, store});
                    loja.bindText(branch)
                        .bindText(store)
                        .bindText(QStringLiteral("Loja %1 - Centro").arg(l))
                        .exec();
                    if (l == 1)
                        paramVend.bindText(branch).bindText(store).exec();
                    for (int x = 1; x <= c.registersPerStore; ++x) {
                        ++registerNo;
                        caixa.bindText(branch)
                            .bindText(padded(registerNo, 3))
                            .bindText(store)
                            .bindText(QStringLiteral("Caixa %1 da loja %2").arg(registerNo).arg(l))
                            .exec();
                        ++sum.registers;
                    }
                    ++sum.stores;
                }
            }
        }
        sum.branches = int(branches.size());

        Query cliente(
            db, QStringLiteral("INSERT INTO CLIENTE (CDCLIENTE, NMRAZSOCCLIE) VALUES (?, ?)"));
        for (int i = 1; i <= c.customers; ++i)
            cliente.bindText(padded(i, 8))
                .bindText(QStringLiteral("%1 %2")
                              .arg(customerNames()[(i - 1) % customerNames().size()])
                              .arg(i))
                .exec();
        sum.customers = c.customers;

        Query produto(db, QStringLiteral("INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, CDARVPROD, "
                                         "CDPRODESTO) VALUES (?, ?, ?, ?)"));
        Query saldo(db, QStringLiteral("INSERT INTO SALDOESTQ (CDFILIAL, CDPRODUTO, QTSALDO)"
                                       " VALUES (?, ?, ?)"));
        for (int p = 1; p <= c.products; ++p) {
            const QString code = padded(p, 6);
            produto.bindText(code)
                .bindText(QStringLiteral("%1 (%2)")
                              .arg(productNames()[(p - 1) % productNames().size()])
                              .arg(p))
                .bindText(QStringLiteral("%1.%2.%3")
                              .arg(padded(1 + p % 9, 2), padded(1 + p % 7, 2), padded(p, 4)))
                .bindText(code)
                .exec();
            for (const QString& branch : branches)
                saldo.bindText(branch).bindText(code).bind(c.openingBalance).exec();
        }
        sum.products = c.products;
        tx.commit();
    }

    // Sales, store by store.
    {
        Transaction tx(db, database.kind(), Transaction::Mode::Write);
        Query venda(db, QStringLiteral("INSERT INTO VENDA (CDFILIAL, NRSEQVENDA, CDLOJA, CDCAIXA, "
                                       "DTVENDA, NRCUPOMFIS, CDCLIENTE, NMCONSUMIDOR, IDTIPOIMPV)"
                                       " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        Query item(db, QStringLiteral("INSERT INTO ITEMVENDA (CDFILIAL, NRSEQVENDA, NRSEQUITVEND, "
                                      "CDPRODUTO, QTPRODVEND, VRUNITVEND, VRDESITVEND)"
                                      " VALUES (?, ?, ?, ?, ?, ?, ?)"));
        QHash<QString, int> saleNo;
        QHash<QString, int> registerOfBranch;
        for (const auto& [branch, store] : stores) {
            const int firstRegister = registerOfBranch.value(branch);
            registerOfBranch[branch] = firstRegister + c.registersPerStore;
            for (int d = 0; d < c.days; ++d) {
                const QDate day = c.firstDay.addDays(d);
                int customerOfDay = 0;
                for (int x = 1; x <= c.registersPerStore; ++x) {
                    const QString cashRegister = padded(firstRegister + x, 3);
                    for (int s = 0; s < c.salesPerRegisterPerDay; ++s) {
                        const QString number = padded(++saleNo[branch], 10);
                        const bool invoiced = rng.generateDouble() < c.invoiceShare;
                        QVariant customer, consumer;
                        if (invoiced) {
                            const int who = c.oneInvoicePerSale ? (customerOfDay++ % c.customers)
                                                                : int(rng.bounded(c.customers));
                            customer = padded(who + 1, 8);
                        } else if (rng.bounded(3) > 0) {
                            consumer = consumerNames()[rng.bounded(int(consumerNames().size()))];
                        }
                        venda.bindText(branch)
                            .bindText(number)
                            .bindText(store)
                            .bindText(cashRegister)
                            .bindDate(day)
                            .bindText(padded(saleNo[branch], 6))
                            .bind(customer)
                            .bind(consumer)
                            .bindText(invoiced ? QStringLiteral("N") : QStringLiteral("C"))
                            .exec();
                        const int items = 1 + int(rng.bounded(c.maxItemsPerSale));
                        for (int i = 1; i <= items; ++i) {
                            const int product = 1 + int(rng.bounded(c.products));
                            // Halves only: exact in binary, so sums come back exactly.
                            const double quantity = 0.5 * (1 + rng.bounded(8));
                            const double unit = round2(1.5 + (product % 40) * 0.75);
                            const double discount = rng.bounded(5) == 0 ? 0.5 : 0.0;
                            item.bindText(branch)
                                .bindText(number)
                                .bindText(padded(i, 3))
                                .bindText(padded(product, 6))
                                .bind(quantity)
                                .bind(unit)
                                .bind(discount)
                                .exec();
                        }
                        ++sum.sales;
                    }
                }
            }
        }
        tx.commit();
    }
    // The documented demo user: every branch, password "demo" (shorter than
    // a new password may be: the demo's user is meant to be known).
    UserStore(database).add(QString::fromLatin1(kDemoUser), QString::fromLatin1(kDemoPassword),
                            true, {}, false, UserStore::PasswordRule::DemoUser);

    if (!c.consolidate)
        return sum;

    Consolidator consolidator(database);
    for (const auto& [branch, store] : stores) {
        const ConsolidationResult r =
            consolidator.consolidate(branch, store, c.firstDay, c.lastDay());
        sum.invoices += r.invoices;
        sum.withdrawals += r.withdrawals;
    }

    // Approve a share of the invoices, in key order so that the choice is
    // the same on every run.
    Transaction tx(db, database.kind(), Transaction::Mode::Write);
    QStringList approve;
    {
        Query q(db, QStringLiteral("SELECT CDFILIALNF, NRLANCTONF FROM NOTAFISCAL"
                                   " ORDER BY CDFILIALNF, NRLANCTONF"));
        q.exec();
        while (q.next())
            if (rng.generateDouble() < c.approvedShare)
                approve << q.text(0) + q.text(1);
    }
    Query ok(db, QStringLiteral("UPDATE NOTAFISCAL SET IDSTATUS = 'A'"
                                " WHERE CDFILIALNF = ? AND NRLANCTONF = ?"));
    for (const QString& key : approve)
        ok.bindText(key.left(4)).bindText(key.mid(4)).exec();
    tx.commit();
    sum.approved = int(approve.size());
    return sum;
}

} // namespace krt::app
