-- venue_data.sql -- sample rows; identity columns fill themselves

-- the invoice number check is switched off while old bookings load
alter table bookings add constraint bookings_invoice_c check (substr(invoice_no, 1, 4) = 'INV-') disable;

begin
  insert into venues (venue_name, city, capacity, opened_on)
    values ('Harbour Hall', 'Lisbon', 1200, to_date('1998-05-01', 'YYYY-MM-DD'));
  insert into venues (venue_name, city, capacity, opened_on)
    values ('The Old Mill', 'Leeds', 350, to_date('2004-10-15', 'YYYY-MM-DD'));
  insert into venues (venue_id, venue_name, city, capacity)
    values (null, 'Park Stage', 'Lisbon', 5000);
  commit;
end;
/

begin
  insert into customers (email_address, full_name, preferences)
    values ('ana@example.com', 'Ana Sousa', '{"newsletter": true, "seat": "aisle"}');
  insert into customers (email_address, full_name, preferences)
    values ('tom@example.com', 'Tom Hardwick', null);
  insert into customers (email_address, full_name, preferences)
    values ('mei@example.com', 'Mei Lin', '{"newsletter": false}');
  commit;
end;
/

begin
  insert into events (venue_id, title, starts_at, base_price)
    values (1, 'Spring Quartet', to_date('2025-04-12 20:00', 'YYYY-MM-DD HH24:MI'), 35);
  insert into events (venue_id, title, starts_at, base_price, status)
    values (1, 'Fado Night', to_date('2025-05-03 21:30', 'YYYY-MM-DD HH24:MI'), null, 'ON SALE');
  insert into events (venue_id, title, starts_at, status)
    values (2, 'Folk Session', to_date('2025-04-20 19:00', 'YYYY-MM-DD HH24:MI'), 'SOLD OUT');
  insert into events (venue_id, title, starts_at, base_price)
    values (3, 'Summer Open Air', to_date('2025-07-05 16:00', 'YYYY-MM-DD HH24:MI'), 49.5);
  commit;
end;
/

begin
  insert into bookings (customer_id, event_id, booked_at, seats, details, invoice_no)
    values (1000, 1, to_date('2025-03-01', 'YYYY-MM-DD'), 2, '{"seats": ["C4", "C5"]}', 'OLD-17');
  insert into bookings (customer_id, event_id, booked_at, seats, details, invoice_no)
    values (1001, 2, to_date('2025-03-02', 'YYYY-MM-DD'), 1, null, 'OLD-18');
  insert into bookings (booking_id, customer_id, event_id, booked_at, seats, details, invoice_no)
    values (null, 1002, 3, to_date('2025-03-04', 'YYYY-MM-DD'), 4, '{"kind": "family"}',
            'INV-' || invoice_seq.nextval);
  insert into bookings (customer_id, event_id, booked_at, seats, invoice_no)
    values (1000, 4, to_date('2025-03-09', 'YYYY-MM-DD'), 6, 'INV-' || invoice_seq.nextval);
  commit;
end;
/

update bookings set invoice_no = 'INV-' || invoice_seq.nextval where invoice_no like 'OLD-%';
commit;

alter table bookings enable validate constraint bookings_invoice_c;
