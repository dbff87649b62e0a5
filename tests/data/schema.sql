-- The exchange's tables as the exchange creates them. The service itself never
-- creates or alters a table; tests build their database from this file.
--
-- Deliberately loose, like the exchange's own database: no NOT NULL, CHECK or
-- UNIQUE constraints beyond the primary keys, so tests can store duplicates,
-- NULLs and out-of-range values that the service must cope with.
--
-- Text columns that hold numbers (exten, prefix, src, dst, hours) have TEXT
-- affinity so '0048' or '08:00' stay exactly as written.
-- cdr must have no column named "date" or "exten", and exten no column named
-- like a cdr column (start, src, dst, disposition, ...): the statistics and
-- call-list statements rely on both.

CREATE TABLE cdr (
    AcctId      INTEGER PRIMARY KEY,
    clid        VARCHAR(80)  DEFAULT '',
    src         VARCHAR(80)  DEFAULT '',
    dst         VARCHAR(80)  DEFAULT '',
    dcontext    VARCHAR(80)  DEFAULT '',
    channel     VARCHAR(80)  DEFAULT '',
    dstchannel  VARCHAR(80)  DEFAULT '',
    lastapp     VARCHAR(80)  DEFAULT '',
    lastdata    VARCHAR(80)  DEFAULT '',
    start       CHAR(19),
    answer      CHAR(19),
    "end"       CHAR(19),
    duration    INTEGER      DEFAULT 0,
    billsec     INTEGER      DEFAULT 0,
    disposition VARCHAR(45)  DEFAULT '',
    amaflags    INTEGER      DEFAULT 0,
    accountcode VARCHAR(20)  DEFAULT '',
    uniqueid    VARCHAR(32)  DEFAULT '',
    userfield   VARCHAR(255) DEFAULT '',
    cost        REAL         DEFAULT 0
);

CREATE TABLE exten (
    id            INTEGER PRIMARY KEY,
    exten         VARCHAR(20),
    outboundcid   VARCHAR(80)  DEFAULT '',
    name          VARCHAR(80)  DEFAULT '',
    email         VARCHAR(80)  DEFAULT '',
    dialplan      VARCHAR(80)  DEFAULT 'default',
    analog_phone  INTEGER      DEFAULT 0,
    vm            INTEGER      DEFAULT 0,
    sip           INTEGER      DEFAULT 1,
    can_reinvite  INTEGER      DEFAULT 0,
    iax2          INTEGER      DEFAULT 0,
    t38           INTEGER      DEFAULT 0,
    agent         INTEGER      DEFAULT 0,
    nat           INTEGER      DEFAULT 0,
    pickupgroup   VARCHAR(20)  DEFAULT '',
    delete_vm     INTEGER      DEFAULT 0,
    dtmf_mode     VARCHAR(20)  DEFAULT 'rfc2833',
    video_call    INTEGER      DEFAULT 0,
    permit_ip     VARCHAR(80)  DEFAULT '',
    provision_man VARCHAR(40)  DEFAULT '',
    provision_mac VARCHAR(20)  DEFAULT '',
    alaw          INTEGER      DEFAULT 1,
    ulaw          INTEGER      DEFAULT 1,
    g729          INTEGER      DEFAULT 0,
    gsm           INTEGER      DEFAULT 0,
    speex         INTEGER      DEFAULT 0,
    h261          INTEGER      DEFAULT 0,
    h263          INTEGER      DEFAULT 0,
    h263p         INTEGER      DEFAULT 0,
    h264          INTEGER      DEFAULT 0,
    www_pass      VARCHAR(80)  DEFAULT '',
    bill_status   VARCHAR(4)   DEFAULT 'FREE',
    limit_credit  REAL         DEFAULT 0,
    prepaid       INTEGER      DEFAULT 0,
    total_charge  REAL         DEFAULT 0,
    balance       REAL         DEFAULT 0,
    last_mod      DATETIME     DEFAULT CURRENT_TIMESTAMP,
    active        INTEGER      DEFAULT 1
);

CREATE TABLE rate (
    id            INTEGER PRIMARY KEY,
    prefix        VARCHAR(40),
    number_length INTEGER      DEFAULT NULL,
    rate          REAL         DEFAULT 0,
    bill_unit     INTEGER      DEFAULT 60,
    from_hour     VARCHAR(5)   DEFAULT '00:00',
    to_hour       VARCHAR(5)   DEFAULT '00:00',
    init_cost     REAL         DEFAULT 0,
    init_time     REAL         DEFAULT 0,
    extensions    TEXT         DEFAULT '',
    active        INTEGER      DEFAULT 0,
    last_mod      DATETIME     DEFAULT CURRENT_TIMESTAMP
);

-- Filled by the exchange whenever a rate changes: "id" is the rate's id, so
-- one rate has many rows here.
CREATE TABLE rate_history (
    id            INTEGER,
    prefix        VARCHAR(40),
    number_length INTEGER      DEFAULT NULL,
    rate          REAL,
    bill_unit     INTEGER,
    from_hour     VARCHAR(5),
    to_hour       VARCHAR(5),
    init_cost     REAL,
    init_time     REAL,
    extensions    TEXT,
    active        INTEGER,
    last_mod      DATETIME     DEFAULT CURRENT_TIMESTAMP
);

-- Which rate applies to which extension; kept up to date by the exchange.
CREATE TABLE cache_rate_to_exten (
    rate_id INTEGER,
    exten   VARCHAR(20)
);

CREATE TABLE settings (
    settings_key   VARCHAR(40),
    settings_value VARCHAR(255)
);

CREATE TABLE help (
    key   VARCHAR(80),
    value TEXT,
    lang  VARCHAR(10)
);

CREATE TABLE recharge_history (
    id            INTEGER PRIMARY KEY,
    exten_id      INTEGER,
    recharge_date DATETIME     DEFAULT CURRENT_TIMESTAMP,
    exten         VARCHAR(20),
    pre_balance   REAL         DEFAULT 0,
    charge        REAL         DEFAULT 0
);
