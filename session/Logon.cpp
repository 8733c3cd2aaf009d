#include "Logon.h"

#include "FailureText.h"
#include "LogonState.h"
#include "OraObjects.h"

namespace Logon {

QString trimBlanks(const QString& text) {
    const auto isBlank = [](QChar c) { return c == QChar(0x20) || c == QChar(0x3000); };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString connectString(const QString& user, const QString& password) {
    return user + QChar('/') + password;
}

void resetServerErrors() {
    try {
        if (basEXPLAIN::OraDB)
            basEXPLAIN::OraDB->LastServerErrReset();
    } catch (...) {
    }
    try {
        if (basEXPLAIN::OraSes)
            basEXPLAIN::OraSes->LastServerErrReset();
    } catch (...) {
    }
}

void open(const QString& host, const QString& connect) {
    basEXPLAIN::OraSes = oraobj::CreateObject(kSessionProgId);
    basEXPLAIN::OraDB = basEXPLAIN::OraSes->DbOpenDatabase(host, connect, 3);
    basEXPLAIN::LogonOK = basEXPLAIN::True;
}

QString failureText(const std::exception_ptr& failure) {
    try {
        if (basEXPLAIN::OraSes && basEXPLAIN::OraSes->LastServerErr() != 0)
            return basEXPLAIN::OraSes->LastServerErrText();
    } catch (...) {
    }
    try {
        if (basEXPLAIN::OraDB && basEXPLAIN::OraDB->LastServerErr() != 0)
            return basEXPLAIN::OraDB->LastServerErrText();
    } catch (...) {
    }
    return oraobj::failureText(failure);
}

}  // namespace Logon
