#pragma once
// PLAN_TABLE, the table into which the server writes execution plans: the
// statements that test for it, create it, drop it and delete this
// workstation's rows, and the operations that keep the main window's
// record of it (PlanTableState, the plan table status panel) up to date.
//
// The operations raise what the database raises (oraobj::OraError); the
// window's handlers report it. Questions and notices go through the owner.

#include "OraObjects.h"

#include <QString>

namespace PlanTable {

// What is known of PLAN_TABLE in this connection: the main window's
// PlanTableState, a 16-bit code. Absent and dropped are treated alike by
// every reader: no question before a drop, no clean-up.
enum State : qint16 {
    FoundAtConnect = 0,  // the table was there at connect (also the value at start-up)
    CreatedHere = 1,     // this program created it since the connect
    DroppedHere = 3,     // this program dropped it
    AbsentHere = 4,      // absent at connect and not created, or its creation failed
};

inline const QString kPanelPresent = QStringLiteral("- PLAN_TABLE有 -");
inline const QString kPanelAbsent = QStringLiteral("- PLAN_TABLE無 -");
inline const QString kTitle = QStringLiteral("PLAN_TABLE情報");

inline const QString kAlreadyExists = QStringLiteral("PLAN_TABLEは既に存在しています。");
inline const QString kCreateFailed1 = QStringLiteral("PLAN_TABLEの作成に失敗しました。");
inline const QString kCreateFailed2 = QStringLiteral("ﾃｰﾌﾞﾙ作成権限が有るか確認してください。");
inline const QString kDropFound1 =
    QStringLiteral("接続時に存在したPLAN_TABLEを削除しようとしています。");
inline const QString kDropFound2 = QStringLiteral("　　　　　　　削除してよろしいですか？");
inline const QString kNotDropped1 =
    QStringLiteral("あなたが作成したPLAN_TABLEが削除されていません。");
inline const QString kNotDroppedAtDisconnect = QStringLiteral("　　　　　　　削除しますか？");
inline const QString kNotDroppedAtExit = QStringLiteral("　　　　　　　削除して終了ますか？");
inline const QString kMissingAtConnect1 = QStringLiteral("PLAN_TABLEが接続先のDBに存在しません。");
inline const QString kMissingAtConnect2 = QStringLiteral("　　　　　　　作成しますか？");

// Two message lines joined by a lone carriage return.
QString twoLines(const QString& first, const QString& second);

QString checkQuery();  // the user's tables named PLAN_TABLE
QString createStatement();
QString dropStatement();
QString deleteRowsStatement(const QString& statementId);

// What the operations read and change on the main window, and how they
// ask and tell the user.
class Owner {
public:
    virtual ~Owner() = default;
    virtual oraobj::OraDatabase& database() = 0;  // raises when none is open
    virtual QString statementId() const = 0;
    virtual State planTableState() const = 0;
    virtual void setPlanTableState(State state) = 0;
    virtual void setPlanTablePanel(const QString& text) = 0;
    // The drop command as the user would choose it (reports its own failure).
    virtual void dropCommand() = 0;
    // A question with Yes and No, titled kTitle; true for Yes.
    virtual bool ask(const QString& prompt) = 0;
    // A notice with an OK button, titled kTitle.
    virtual void tell(const QString& notice) = 0;
};

// The number of the user's tables named PLAN_TABLE; non-zero means present.
qint32 check(oraobj::OraDatabase& db);
// Creates the table unless it is there; the outcome goes to the state, the
// panel and a notice. A refused creation statement is not reported: the
// panel shows what a fresh check finds and the state stays. Returns whether
// the table is there afterwards.
bool create(Owner& owner);
// Drops the table if it is there, asking first when it was found at connect.
void drop(Owner& owner);
void deleteRows(Owner& owner);
// The tidying at disconnect and exit: offers to drop a table this program
// created (the question ends with `secondLine`), else deletes this
// workstation's rows; nothing when the table is gone or was never there.
void cleanup(Owner& owner, const QString& secondLine);

}  // namespace PlanTable
