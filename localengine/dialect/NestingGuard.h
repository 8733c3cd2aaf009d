#pragma once
// Counts the parser's recursion through nesting constructs and refuses
// more than kMaxNesting levels.

#include "Parser.h"

namespace localengine::dialect {

class NestingGuard {
public:
    explicit NestingGuard(Parser& parser);
    ~NestingGuard() { --m_parser.m_nesting; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

private:
    Parser& m_parser;
};

}  // namespace localengine::dialect
