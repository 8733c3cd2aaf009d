REM  Order entry tables as a shop's install script loads them.
REM  Amounts and codes are written as people type them; the columns decide
REM  what is kept.
SET ECHO OFF
SET FEEDBACK OFF
PROMPT Creating tables ...

CREATE TABLE currencies (
  code        CHAR(3),
  name        VARCHAR2(20 CHAR),
  rate        NUMBER(9,4)
);

ALTER TABLE currencies ADD CONSTRAINT currencies_pk PRIMARY KEY (code);

CREATE TABLE orders (
  order_id    NUMBER(6)      GENERATED ALWAYS AS IDENTITY,
  customer    VARCHAR2(12),
  currency    CHAR(3),
  amount      NUMBER(8,2),
  discount    NUMBER(3,2),
  weight_kg   NUMBER(6,-1),
  ordered     DATE,
  CONSTRAINT orders_pk PRIMARY KEY (order_id),
  CONSTRAINT orders_currency_fk FOREIGN KEY (currency) REFERENCES currencies (code)
);

CREATE TABLE order_archive (
  order_id    NUMBER(6),
  amount      NUMBER(7,1),
  ordered     DATE,
  note        VARCHAR2(12)
);

PROMPT Loading data ...

BEGIN
  INSERT INTO currencies VALUES ('EUR', 'Euro', 1);
  INSERT INTO currencies VALUES ('JP', 'Yen', '0.0062525');
  INSERT INTO currencies VALUES ('CHF', 'Franc suisse', 1.04444);
  INSERT INTO orders (customer, currency, amount, discount, weight_kg, ordered)
    VALUES ('Müller', 'EUR', 1234.565, .125, 1234, '03-JAN-24');
  INSERT INTO orders (customer, currency, amount, discount, weight_kg, ordered)
    VALUES ('Dupont', 'CHF', '99.994', 0, 15, '17-FEB-24');
  INSERT INTO orders (customer, currency, amount, discount, weight_kg, ordered)
    VALUES ('Tanaka', 'JP', 120000 / 7, .05, 4.9, '29-FEB-24');
  COMMIT;
END;
/

INSERT INTO order_archive (order_id, amount, ordered, note)
  SELECT order_id, amount, TO_CHAR(ordered, 'DD-MON-RR'), 'moved ' || order_id
  FROM orders
  WHERE ordered < DATE '2024-02-01';

PROMPT Done.
