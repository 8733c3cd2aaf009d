REM
REM  lib_main.sql  --  creates and fills the LIBRARY sample schema
REM
REM  The schema holds the branches of a lending library, its members,
REM  its catalogue of books and the loans between them.
REM
REM  Run it from SQL*Plus as the schema owner:
REM      @lib_main.sql <data tablespace>
REM

SET ECHO OFF
SET VERIFY OFF
SET FEEDBACK 1
SET NUMWIDTH 10
SET LINESIZE 100
SET PAGESIZE 100
SET TRIMSPOOL ON
SET SERVEROUTPUT ON SIZE 1000000

DEFINE data_ts = &1
DEFINE owner_note = 'LIBRARY sample schema'

PROMPT
PROMPT Creating the &owner_note (tablespace &data_ts) ...
PROMPT

WHENEVER SQLERROR EXIT FAILURE

REM  Tables and their constraints
@@lib_cre.sql

REM  Rows, one PL/SQL block per table
@@lib_popul.sql

REM  Indexes and the reporting view
@@lib_idx.sql

COLUMN table_name FORMAT A20
CLEAR COLUMNS

PROMPT
PROMPT &owner_note created.
