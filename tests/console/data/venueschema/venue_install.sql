/*
 * venue_install.sql -- creates the VENUE sample schema: concert venues,
 * their events, the customers who book seats and the bookings themselves.
 *
 * Run it as the schema owner:  @venue_install.sql
 */
set echo off
set feedback on
set define off
whenever sqlerror exit sql.sqlcode

prompt Creating the VENUE schema objects
@@venue_ddl.sql

prompt Loading the VENUE rows
@@venue_data.sql

prompt Done.
