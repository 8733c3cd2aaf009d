#pragma once
// Anonymous PL/SQL blocks, as the scripts that build test data hold them:
//
//   DECLARE
//     v_total NUMBER;
//   BEGIN
//     FOR i IN 1 .. 10000 LOOP
//       INSERT INTO t_acct (acct_id, balance) VALUES (i, MOD(i, 97) * 10);
//       IF MOD(i, 1000) = 0 THEN COMMIT; END IF;
//     END LOOP;
//     SELECT SUM(balance) INTO v_total FROM t_acct;
//     DBMS_OUTPUT.PUT_LINE('total ' || v_total);
//   END;
//
// The local engine reads such a block whole (PlsqlParser.h), refusing what
// it does not run before anything runs, and then runs it as one call
// (PlsqlRunner.h) on the connection (LocalEngine.cpp).

#include <string>

namespace localengine {

// True when `oracleSql` is an anonymous block (BEGIN or DECLARE first).
bool isAnonymousBlock(const std::string& oracleSql);

}  // namespace localengine
