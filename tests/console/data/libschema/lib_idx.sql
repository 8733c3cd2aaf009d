REM  lib_idx.sql  --  indexes on the foreign keys and the reporting view

PROMPT ******  Creating indexes ...

CREATE INDEX countr_reg_ix ON countries (region_id);
CREATE INDEX branch_country_ix ON branches (country_id);
CREATE INDEX member_branch_ix ON members (home_branch_id);
CREATE INDEX member_name_ix ON members (last_name, first_name);
CREATE INDEX book_author_ix ON books (author_id);
CREATE INDEX loan_book_ix ON loans (book_id);
CREATE INDEX loan_member_ix ON loans (member_id);
CREATE INDEX loan_open_ix ON loans (returned_date, due_date);

PROMPT ******  Creating view OPEN_LOANS ...

CREATE VIEW open_loans
  AS SELECT l.loan_id
          , b.title
          , m.first_name || ' ' || m.last_name member_name
          , l.due_date
       FROM loans l
          , books b
          , members m
      WHERE l.book_id = b.book_id
        AND l.member_id = m.member_id
        AND l.returned_date IS NULL;
