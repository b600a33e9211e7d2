// SPDX-License-Identifier: MIT
// The grid's table model: Qt's model tester over every shape of result, and the cells it
// gives the view (the title row as the header, one row per line, the totals row).
#include <QAbstractItemModelTester>
#include <QTest>

#include "core/GridCells.h"
#include "platform/Locale.h"
#include "ui/tracker/SessionGridModel.h"

using namespace hmr;

namespace {

TQueryResult sessions(int count) {
  TQueryResult result;
  result.Vision = qrvOpenCloseCol;
  for (int k = 0; k < count; ++k) {
    TQueryResultLine& line = AppendQueryResultLine(result);
    line = {};
    line.DateTimeOpen = encodeDateTime(2026, 3, 2, 9, 0, 0) + k;
    line.DateTimeClose = line.DateTimeOpen + 1.0 / 16;
    line.CloseStatus = k == count - 1 ? scsCurrent : scsClosed;
    line.TotalTime = 5400;
    line.IdleTime = 600;
    line.WorkTime = 4800;
    line.UserName = "ann";
  }
  return result;
}

}  // namespace

class SessionGridModelTest : public QObject {
  Q_OBJECT

 private slots:
  void passesTheModelTesterThroughEveryChange();
  void titleRowIsTheHeaderAndTotalsCloseTheRows();
  void emptyResultIsOneEmptyRowWithoutTotals();
  void invalidIndexesAndOtherRolesGiveNothing();
};

void SessionGridModelTest::passesTheModelTesterThroughEveryChange() {
  FixedLocale locale;
  ScopedLocale use(locale);
  SessionGridModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  TQueryResult result = sessions(3);
  model.setCells(std::make_unique<GridCells>(result, "Session", dtuHour, true));
  model.beginChange();
  result = sessions(0);
  model.setCells(std::make_unique<GridCells>(result, "Session", dtuMinute, false));
  model.beginChange();
  result = sessions(50);
  result.Vision = qrvBothCol;
  model.setCells(std::make_unique<GridCells>(result, "Day", dtuHour, true));
  model.setCells(nullptr);
  QCOMPARE(model.rowCount(), 0);
  QCOMPARE(model.columnCount(), 0);
}

void SessionGridModelTest::titleRowIsTheHeaderAndTotalsCloseTheRows() {
  FixedLocale locale("%d/%m/%Y", "%H:%M:%S", ",");
  ScopedLocale use(locale);
  const TQueryResult result = sessions(2);
  SessionGridModel model;
  model.setCells(std::make_unique<GridCells>(result, "Session", dtuHour, true));
  QCOMPARE(model.rowCount(), 3);
  QCOMPARE(model.columnCount(), 6);
  const QStringList headers = {"Open Date/Time",  "Close Date/Time", "User Name",
                               "Total Time (hs)", "Idle Time (hs)",  "Work Time (hs)"};
  for (int c = 0; c < 6; ++c) QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), headers[c]);
  QCOMPARE(model.data(model.index(0, 0)).toString(), QString("02/03/2026 09:00"));
  QCOMPARE(model.data(model.index(0, 1)).toString(), QString("02/03/2026 10:30"));
  QCOMPARE(model.data(model.index(1, 1)).toString(), QString("Current"));
  QCOMPARE(model.data(model.index(1, 2)).toString(), QString("ann "));
  QCOMPARE(model.data(model.index(0, 3)).toString(), QString("  1,500"));
  QCOMPARE(model.data(model.index(2, 0)).toString(), QString(" "));
  QCOMPARE(model.data(model.index(2, 2)).toString(), QString("TOTAL"));
  QCOMPARE(model.data(model.index(2, 3)).toString(), QString("  3,000"));
  QCOMPARE(model.data(model.index(2, 5)).toString(), QString("  2,667"));
  QCOMPARE(model.data(model.index(0, 3), Qt::TextAlignmentRole).value<Qt::Alignment>(),
           Qt::AlignRight | Qt::AlignVCenter);
  QCOMPARE(model.data(model.index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>(),
           Qt::AlignLeft | Qt::AlignVCenter);
}

void SessionGridModelTest::emptyResultIsOneEmptyRowWithoutTotals() {
  FixedLocale locale;
  ScopedLocale use(locale);
  TQueryResult result;
  SessionGridModel model;
  model.setCells(std::make_unique<GridCells>(result, "Project", dtuMinute, true));
  QCOMPARE(model.rowCount(), 1);
  QCOMPARE(model.columnCount(), 4);
  QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Project"));
  QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QString("Work Time (min)"));
  for (int c = 0; c < 4; ++c) QCOMPARE(model.data(model.index(0, c)).toString(), QString());
}

void SessionGridModelTest::invalidIndexesAndOtherRolesGiveNothing() {
  FixedLocale locale;
  ScopedLocale use(locale);
  const TQueryResult result = sessions(1);
  SessionGridModel model;
  QVERIFY(!model.data(model.index(0, 0)).isValid());  // no cells yet
  model.setCells(std::make_unique<GridCells>(result, "Session", dtuHour, false));
  QVERIFY(!model.data(QModelIndex()).isValid());
  QVERIFY(!model.data(model.index(5, 0)).isValid());
  QVERIFY(!model.data(model.index(0, 0), Qt::DecorationRole).isValid());
  QVERIFY(!model.index(0, 0, model.index(0, 0)).isValid());  // a table: no children
  QCOMPARE(model.rowCount(model.index(0, 0)), 0);
}

QTEST_MAIN(SessionGridModelTest)
#include "SessionGridModelTest.moc"
