/* Events with the seats sold so far, best sellers first */
select title, venue_name, nvl(seats_sold, 0) seats
  from event_sales
 order by seats desc, title;

/* Customers who told us their preferences */
select full_name
  from customers
 where preferences is json
 order by customer_id;

-- Invoice numbers handed out
select invoice_no from bookings order by booking_id;
