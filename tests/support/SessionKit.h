#pragma once
// Helpers of the tests that log on: a second connection to the same
// database for looking at PLAN_TABLE from outside, and ways to act on the
// logon dialog that the next modal opening shows. Header only: a test that
// includes it links the session library.

#include "LogonDialog.h"
#include "ModalDialogs.h"
#include "OraObjects.h"
#include "PlanTable.h"

#include <unistd.h>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>

namespace kit {

inline const QString kUser = QStringLiteral("scott");

inline std::shared_ptr<oraobj::OraDatabase> open(const QString& host = QString()) {
    auto session = oraobj::CreateObject(QStringLiteral("OracleInProcServer.XOraSession"));
    return session->DbOpenDatabase(host, kUser + QStringLiteral("/tiger"), 3);
}

inline bool planTableExists(oraobj::OraDatabase& db) {
    return PlanTable::check(db) != 0;
}

inline void setPlanTable(oraobj::OraDatabase& db, bool present) {
    if (planTableExists(db) == present)
        return;
    db.ExecuteSQL(present ? PlanTable::createStatement() : PlanTable::dropStatement());
}

inline int rowsOf(oraobj::OraDatabase& db, const QString& statementId) {
    auto rows = db.DbCreateDynaset(
        QStringLiteral("SELECT count(*) FROM PLAN_TABLE WHERE statement_id='%1'").arg(statementId),
        12);
    return rows->Fields(0).Value().toInt();
}

inline void addRow(oraobj::OraDatabase& db, const QString& statementId) {
    db.DbExecuteSQL(
        QStringLiteral("INSERT INTO PLAN_TABLE (statement_id, id, operation) VALUES ('%1', 0, 'X')")
            .arg(statementId));
}

// Runs `act` on the next logon dialog once it is up; the watch tells
// whether it did.
inline ModalWatch onLogonDialog(std::function<void(fdlgOraLogon&)> act) {
    return onNextModal<fdlgOraLogon>(std::move(act));
}

inline void type(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->setText(text);
}

// Fills the dialog and presses OK.
inline std::function<void(fdlgOraLogon&)> logon(const QString& user, const QString& password,
                                                const QString& host) {
    return [=](fdlgOraLogon& d) {
        type(d.txtUsrID, user);
        type(d.txtPasswd, password);
        type(d.txtHost, host);
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
        if (d.isVisible())  // refused: leave it
            d.cmdCancel->click();
    };
}

inline std::function<void(fdlgOraLogon&)> cancel() {
    return [](fdlgOraLogon& d) { d.cmdCancel->click(); };
}

// An SQLite database file the engine can open but not write, or an empty
// string when the file system lets this user write anyway.
inline QString readOnlyCopy(const QString& path) {
    QFile::setPermissions(path,
                          QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    if (geteuid() == 0)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path});
    QFile probe(path);
    if (probe.open(QIODevice::ReadWrite | QIODevice::Append))
        return QString();
    return path;
}

inline void makeWritable(const QString& path) {
    if (geteuid() == 0)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

}  // namespace kit
