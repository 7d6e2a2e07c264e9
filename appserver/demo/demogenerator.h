#pragma once

#include "appserver/db/database.h"

#include <QDate>

namespace krt::app {

// What the generator creates. Every choice comes from a generator seeded with
// `seed`, so the same settings always give the same database.
struct DemoConfig
{
    quint32 seed = 52600;
    int companies = 1;
    int branchesPerCompany = 2;
    int storesPerBranch = 2;
    int registersPerStore = 3;
    int customers = 12;
    int products = 20;
    int days = 5;
    QDate firstDay = QDate(2026, 3, 2);
    int salesPerRegisterPerDay = 4;
    int maxItemsPerSale = 3;
    double invoiceShare = 0.7;  // sales with an invoice ('N'); the rest go to withdrawals
    double approvedShare = 0.2; // invoices approved after the consolidation
    // Every invoice sale of a day gets a customer of its own: one invoice per
    // sale (large databases with an exact size).
    bool oneInvoicePerSale = false;
    bool consolidate = true;
    double openingBalance = 100000;

    // A database of about `invoices` invoices in one branch and store.
    static DemoConfig forInvoices(int invoices);
    QDate lastDay() const { return firstDay.addDays(days - 1); }
};

struct DemoSummary
{
    int branches = 0;
    int stores = 0;
    int registers = 0;
    int customers = 0;
    int products = 0;
    int sales = 0;
    int invoices = 0;
    int approved = 0;
    int withdrawals = 0;
};

// The user every demo database has (all branches), documented for the run
// command and the examples.
inline constexpr char kDemoUser[] = "demo";
inline constexpr char kDemoPassword[] = "demo";

// Fills an empty, migrated database: the demo user, companies, branches, stores, cash
// registers, customers, products, balances, parameters, an open accounting
// period covering the generated days, and the sales; then (unless told not
// to) consolidates every store through the server's own routine and approves
// some invoices.
DemoSummary generateDemo(Database& db, const DemoConfig& config);

} // namespace krt::app
