REM  lib_cre.sql  --  the tables of the LIBRARY schema

PROMPT ******  Creating REGIONS table ....

CREATE TABLE regions
    ( region_id      NUMBER
                     CONSTRAINT region_id_nn NOT NULL
                     CONSTRAINT reg_id_pk PRIMARY KEY
    , region_name    VARCHAR2(25)
    );

PROMPT ******  Creating COUNTRIES table ....

CREATE TABLE countries
    ( country_id      CHAR(2)
                      CONSTRAINT country_id_nn NOT NULL
                      CONSTRAINT country_c_id_pk PRIMARY KEY
    , country_name    VARCHAR2(40)
    , region_id       NUMBER
                      CONSTRAINT countr_reg_fk REFERENCES regions (region_id)
    );

PROMPT ******  Creating BRANCHES table ....

/* A branch is one building of the library; its code is the public one. */
CREATE TABLE branches
    ( branch_id       NUMBER(4)
                      CONSTRAINT branch_id_pk PRIMARY KEY
    , branch_code     VARCHAR2(6)
                      CONSTRAINT branch_code_nn NOT NULL
    , street_address  VARCHAR2(40)
    , city            VARCHAR2(30)
                      CONSTRAINT branch_city_nn NOT NULL
    , country_id      CHAR(2)
                      CONSTRAINT branch_c_id_fk REFERENCES countries (country_id)
    , CONSTRAINT branch_code_uk UNIQUE (branch_code)
    );

PROMPT ******  Creating MEMBERS table ....

CREATE TABLE members
    ( member_id       NUMBER(6)
                      CONSTRAINT member_id_pk PRIMARY KEY
    , first_name      VARCHAR2(20)
    , last_name       VARCHAR2(25)
                      CONSTRAINT member_last_name_nn NOT NULL
    , email           VARCHAR2(40)
    , joined_date     DATE
                      CONSTRAINT member_joined_nn NOT NULL
    , home_branch_id  NUMBER(4)
                      CONSTRAINT member_branch_fk REFERENCES branches (branch_id)
    , yearly_fee      NUMBER(6,2) DEFAULT 0
                      CONSTRAINT member_fee_min CHECK (yearly_fee >= 0)
    , referred_by     NUMBER(6)
                      CONSTRAINT member_referrer_fk REFERENCES members (member_id)
    , CONSTRAINT member_email_uk UNIQUE (email)
    );

PROMPT ******  Creating AUTHORS table ....

CREATE TABLE authors
    ( author_id       NUMBER(6)
                      CONSTRAINT author_id_pk PRIMARY KEY
    , author_name     VARCHAR2(60)
                      CONSTRAINT author_name_nn NOT NULL
    , born            NUMBER(4)
    , CONSTRAINT author_born_ck CHECK (born BETWEEN 1000 AND 2100)
    );

PROMPT ******  Creating BOOKS table ....

CREATE TABLE books
    ( book_id         NUMBER(8)
                      CONSTRAINT book_id_pk PRIMARY KEY
    , title           VARCHAR2(100)
                      CONSTRAINT book_title_nn NOT NULL
    , author_id       NUMBER(6)
                      CONSTRAINT book_author_fk REFERENCES authors (author_id)
    , published       NUMBER(4)
    , shelf_mark      VARCHAR2(12)
    , branch_id       NUMBER(4)
                      CONSTRAINT book_branch_fk REFERENCES branches (branch_id)
    , CONSTRAINT book_shelf_uk UNIQUE (branch_id, shelf_mark)
    );

PROMPT ******  Creating LOANS table ....

-- One row per book lent; returned_date stays empty until the book is back.
CREATE TABLE loans
    ( loan_id         NUMBER(10)
                      CONSTRAINT loan_id_pk PRIMARY KEY
    , book_id         NUMBER(8)
                      CONSTRAINT loan_book_nn NOT NULL
                      CONSTRAINT loan_book_fk REFERENCES books (book_id)
    , member_id       NUMBER(6)
                      CONSTRAINT loan_member_nn NOT NULL
                      CONSTRAINT loan_member_fk REFERENCES members (member_id)
    , loan_date       DATE
                      CONSTRAINT loan_date_nn NOT NULL
    , due_date        DATE
                      CONSTRAINT loan_due_nn NOT NULL
    , returned_date   DATE
    , CONSTRAINT loan_due_ck CHECK (due_date > loan_date)
    , CONSTRAINT loan_returned_ck CHECK (returned_date IS NULL OR returned_date >= loan_date)
    );
