#pragma once
// Carries out the Oracle DDL that the front end hands over as data
// (dialect/DdlWork.h): ALTER TABLE through the table rebuild, sequences,
// comments, TRUNCATE, synonyms, views replaced, tables dropped with what the
// engine keeps beside them, and ALTER SESSION. Each change is whole or
// nothing, with Oracle's error when it cannot be made.

#include <string>

#include "dialect/Translator.h"
#include "functions/EngineFunctions.h"

struct sqlite3;

namespace localengine {

struct DdlSession {
    sqlite3* db = nullptr;
    std::string owner;                     // fills the names in Oracle's messages
    functions::SessionSettings* settings;  // what ALTER SESSION changes
};

// Runs `t` (Translation::Kind::Ddl). Throws EngineError.
void runDdl(const DdlSession& session, const dialect::Translation& t);

}  // namespace localengine
