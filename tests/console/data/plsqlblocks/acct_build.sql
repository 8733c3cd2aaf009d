REM  acct_build.sql  --  accounts and branches for the tuning exercise
REM  Usage: @acct_build  (as the exercise's owner)
SET ECHO OFF
SET FEEDBACK ON
SET SERVEROUTPUT ON SIZE UNLIMITED

PROMPT ******  Creating T_BRANCH and T_ACCT ....

CREATE TABLE t_branch (
  branch_id    NUMBER(4)     NOT NULL,
  branch_name  VARCHAR2(20)  NOT NULL,
  acct_count   NUMBER(8),
  CONSTRAINT t_branch_pk PRIMARY KEY (branch_id)
);

CREATE TABLE t_acct (
  acct_id    NUMBER(10)    NOT NULL,
  branch_id  NUMBER(4)     NOT NULL,
  owner      VARCHAR2(30),
  balance    NUMBER(12,2),
  CONSTRAINT t_acct_pk PRIMARY KEY (acct_id),
  CONSTRAINT t_acct_branch_fk FOREIGN KEY (branch_id) REFERENCES t_branch (branch_id)
);

PROMPT ******  Populating ....

DECLARE
  c_branches  CONSTANT PLS_INTEGER := 4;
  v_rows      PLS_INTEGER := 0;
BEGIN
  FOR b IN 1 .. c_branches LOOP
    INSERT INTO t_branch (branch_id, branch_name) VALUES (b, 'Branch ' || b);
  END LOOP;
  FOR i IN 1 .. 1000 LOOP
    INSERT INTO t_acct (acct_id, branch_id, owner, balance)
    VALUES (i, MOD(i, c_branches) + 1, 'Owner' || i, MOD(i, 97) * 10);
    v_rows := v_rows + SQL%ROWCOUNT;
    IF MOD(i, 250) = 0 THEN
      COMMIT;
    END IF;
  END LOOP;
  DBMS_OUTPUT.PUT_LINE('Accounts created: ' || v_rows);
END;
/

PROMPT ******  Counting ....

DECLARE
  v_total   t_acct.balance%TYPE;
  v_owner   t_acct.owner%TYPE;
BEGIN
  FOR r IN (SELECT branch_id, COUNT(*) n FROM t_acct GROUP BY branch_id ORDER BY branch_id) LOOP
    UPDATE t_branch SET acct_count = r.n WHERE branch_id = r.branch_id;
    DBMS_OUTPUT.PUT_LINE('Branch ' || r.branch_id || ': ' || r.n || ' accounts');
  END LOOP;
  SELECT SUM(balance) INTO v_total FROM t_acct;
  DBMS_OUTPUT.PUT_LINE('Total balance: ' || TO_CHAR(v_total, 'FM999,999,990.00'));
  SELECT owner INTO v_owner FROM t_acct WHERE acct_id = 0;
  DBMS_OUTPUT.PUT_LINE('never printed');
EXCEPTION
  WHEN NO_DATA_FOUND THEN
    DBMS_OUTPUT.PUT_LINE('No account 0 (' || SQLERRM || ')');
END;
/

SET SERVEROUTPUT OFF
BEGIN
  DBMS_OUTPUT.PUT_LINE('not shown');
END;
/

SELECT branch_id, acct_count FROM t_branch ORDER BY branch_id;

PROMPT ******  Done.
