// One whole analysis of a 20-table join on the sample database, from the
// call of cmdEXPAIN_Click to the painted plan pane.
#include "LogonState.h"
#include "MainWindow.h"
#include "OraObjects.h"
#include "PlanTable.h"
#include "RichTextBox.h"

#include <benchmark/benchmark.h>
#include <QApplication>

namespace {

const char* const kJoin =
    "SELECT c.cust_name, o.order_id, p.product_name, e.last_name\n"
    "FROM regions r, countries co, customers c, orders o, order_items oi, products p,\n"
    "     categories ca, categories pc, inventories i, warehouses w, countries wc,\n"
    "     regions wr, employees e, departments d, countries dc, employees m,\n"
    "     employees am, departments ad, sales_history sh, regions dr\n"
    "WHERE co.region_id = r.region_id\n"
    "  AND c.country_id = co.country_id\n"
    "  AND o.customer_id = c.customer_id\n"
    "  AND oi.order_id = o.order_id\n"
    "  AND p.product_id = oi.product_id\n"
    "  AND ca.category_id = p.category_id\n"
    "  AND pc.category_id = ca.parent_category_id\n"
    "  AND i.product_id = p.product_id\n"
    "  AND w.warehouse_id = i.warehouse_id\n"
    "  AND wc.country_id = w.country_id\n"
    "  AND wr.region_id = wc.region_id\n"
    "  AND e.employee_id = o.sales_rep_id\n"
    "  AND d.department_id = e.department_id\n"
    "  AND dc.country_id = d.country_id\n"
    "  AND m.employee_id = e.manager_id\n"
    "  AND am.employee_id = c.account_mgr_id\n"
    "  AND ad.department_id = am.department_id\n"
    "  AND sh.product_id = p.product_id\n"
    "  AND dr.region_id = dc.region_id\n"
    "  AND o.order_total > 1000";

void BM_WholeAnalysis(benchmark::State& state) {
    auto session = oraobj::CreateObject(QStringLiteral("OracleInProcServer.XOraSession"));
    basEXPLAIN::OraDB = session->DbOpenDatabase(QString(), QStringLiteral("scott/tiger"), 3);
    if (PlanTable::check(*basEXPLAIN::OraDB) == 0)
        basEXPLAIN::OraDB->ExecuteSQL(PlanTable::createStatement());

    frmEXPLAIN w;
    w.show();
    w.StatementId = QStringLiteral("10.0.0.5");
    w.txtSQL->setText(QString::fromLatin1(kJoin));
    QCoreApplication::processEvents();

    int lines = 0;
    for (auto _ : state) {
        w.cmdEXPAIN_Click();
        w.txtResults->viewport()->repaint();
        lines = w.txtResults->Text().count(QChar('\n'));
    }
    state.counters["plan_lines"] = lines;
    w.Connected = 0;
    basEXPLAIN::reset();
}

}  // namespace

BENCHMARK(BM_WholeAnalysis)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
