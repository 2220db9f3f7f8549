#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "chart/excel_binding.h"
#include "chart/print_setup.h"
#include "cli/chart_tool.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rootweave-chart"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    rw::chart::EngineFactory factory;
    factory.setNewSheetPageSetup(rw::chart::chartPageSetup());
    return rw::cli::runChartTool(QCoreApplication::arguments(), factory, out, err);
}
