-- Small, fixed contents for tests. Every time stamp is written out, so results
-- never depend on the clock. Summary:
--
-- exten    id  exten  www_pass   bill_status  limit_credit  prepaid  total_charge  balance  active
--           1  101    secret101  FREE         100.0         0        12.5          2.5      1
--           2  102    secret102  LOCK         50.0          1        30.0          20.0     1
--           3  103    secret103  FREE         0.0           1        0.0           0.0      0
-- settings  CURRENCY = EUR, LANGUAGE = en
-- help      two keys (login, rates) in 'en' and in 'de'
-- rate      1: active,   '0048' length 11, 08:00-18:00, extensions '101,102'
--           2: inactive, '0049' no length, 22:00-06:00, extension  '101'
--           (no two active rates collide)
-- cdr       7 calls, 2015-02-27 .. 2015-03-31; AcctId 5 comes from 555, which has
--           no exten row
-- recharge_history  2 rows for 101, 1 for 102; rate_history 2 rows for rate 1

INSERT INTO exten (id, exten, outboundcid, name, email, www_pass, bill_status, limit_credit, prepaid,
                   total_charge, balance, last_mod, active)
VALUES (1, '101', '"Alice" <101>', 'Alice', 'alice@example.com', 'secret101', 'FREE', 100.0, 0,
        12.5, 2.5, '2015-01-10 09:00:00', 1),
       (2, '102', '"Bob" <102>', 'Bob', 'bob@example.com', 'secret102', 'LOCK', 50.0, 1,
        30.0, 20.0, '2015-01-11 10:00:00', 1),
       (3, '103', '"Carol" <103>', 'Carol', 'carol@example.com', 'secret103', 'FREE', 0.0, 1,
        0.0, 0.0, '2015-01-12 11:00:00', 0);

INSERT INTO settings (settings_key, settings_value)
VALUES ('CURRENCY', 'EUR'),
       ('LANGUAGE', 'en');

INSERT INTO help (key, value, lang)
VALUES ('login', 'Log in with your extension number and web password.', 'en'),
       ('rates', 'Rates are chosen by the prefix of the dialled number.', 'en'),
       ('login', 'Melden Sie sich mit Nebenstelle und Web-Passwort an.', 'de'),
       ('rates', 'Tarife richten sich nach der Vorwahl der gewaehlten Nummer.', 'de');

INSERT INTO rate (id, prefix, number_length, rate, bill_unit, from_hour, to_hour, init_cost, init_time,
                  extensions, active, last_mod)
VALUES (1, '0048', 11, 0.25, 60, '08:00', '18:00', 0.1, 30.0, '101,102', 1, '2015-01-05 08:00:00'),
       (2, '0049', NULL, 0.4, 60, '22:00', '06:00', 0.0, 0.0, '101', 0, '2015-01-06 08:00:00');

INSERT INTO cache_rate_to_exten (rate_id, exten)
VALUES (1, '101'),
       (1, '102'),
       (2, '101');

INSERT INTO rate_history (id, prefix, number_length, rate, bill_unit, from_hour, to_hour, init_cost,
                          init_time, extensions, active, last_mod)
VALUES (1, '0048', 11, 0.3, 60, '08:00', '18:00', 0.1, 30.0, '101', 0, '2015-01-01 08:00:00'),
       (1, '0048', 11, 0.25, 60, '08:00', '18:00', 0.1, 30.0, '101,102', 1, '2015-01-05 08:00:00');

INSERT INTO cdr (AcctId, clid, src, dst, channel, start, answer, "end", duration, billsec, disposition,
                 uniqueid, cost)
VALUES (1, '"Alice" <101>', '101', '0048221234567', 'SIP/101-00000001', '2015-02-27 10:15:00',
        '2015-02-27 10:15:10', '2015-02-27 10:16:10', 70, 60, 'ANSWERED', '1425032100.1', 0.5),
       (2, '"Bob" <102>', '102', '0049301234567', 'SIP/102-00000002', '2015-02-28 23:59:30',
        NULL, '2015-02-28 23:59:50', 20, 0, 'NO ANSWER', '1425167970.2', 0.0),
       (3, '"Alice" <101>', '101', '102', 'SIP/101-00000003', '2015-03-01 00:00:00',
        '2015-03-01 00:00:05', '2015-03-01 00:00:35', 35, 30, 'ANSWERED', '1425168000.3', 0.0),
       (4, '"Alice" <101>', '101', '0048227654321', 'SIP/101-00000004', '2015-03-02 08:30:00',
        '2015-03-02 08:30:10', '2015-03-02 08:32:10', 130, 120, 'ANSWERED', '1425285000.4', 1.25),
       (5, '"Dave" <555>', '555', '101', 'SIP/trunk-00000005', '2015-03-02 12:00:00',
        '2015-03-02 12:00:05', '2015-03-02 12:00:15', 15, 10, 'ANSWERED', '1425297600.5', 0.0),
       (6, '"Bob" <102>', '102', '0048600100200', 'SIP/102-00000006', '2015-03-31 18:00:00',
        '2015-03-31 18:00:05', '2015-03-31 18:00:45', 45, 40, 'ANSWERED', '1427824800.6', 0.75),
       (7, '"Carol" <103>', '103', '0048221111111', 'SIP/103-00000007', '2015-03-31 23:59:59',
        NULL, '2015-04-01 00:00:04', 5, 0, 'BUSY', '1427846399.7', 0.0);

INSERT INTO recharge_history (id, exten_id, recharge_date, exten, pre_balance, charge)
VALUES (1, 1, '2015-02-01 10:00:00', '101', 0.0, 10.0),
       (2, 1, '2015-03-05 11:30:00', '101', 10.0, 2.5),
       (3, 2, '2015-03-06 09:00:00', '102', 0.0, 30.0);
