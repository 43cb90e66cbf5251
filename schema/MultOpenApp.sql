-- The installed database file MultOpenApp.dat. The program never creates or alters any of this:
-- scripts/prepare-database.sh builds the file from this text when it is missing.
-- Column orders of t_gamelist and t_gameurllist are fixed: the catalogue reads them with "*".

PRAGMA encoding = 'UTF-8';

BEGIN TRANSACTION;

CREATE TABLE t_gamelist (
    ID       TEXT PRIMARY KEY,
    GAMENAME TEXT,
    GAMEHINT TEXT,
    GAMETYPE INTEGER
);
CREATE INDEX ix_gamelist_type_name ON t_gamelist (GAMETYPE, GAMENAME);

CREATE TABLE t_gameurllist (
    ID       TEXT PRIMARY KEY,
    GAMEID   TEXT,
    URLNAME  TEXT,
    URLHINT  TEXT,
    URLVALUE TEXT
);
CREATE INDEX ix_gameurllist_game_name ON t_gameurllist (GAMEID, URLNAME);

CREATE TABLE t_usermanage (
    ID        TEXT PRIMARY KEY,
    URLID     TEXT,
    USERNAME  TEXT,
    CACHEPATH TEXT,
    PASSWORD  TEXT
);
CREATE INDEX ix_usermanage_url ON t_usermanage (URLID);

CREATE TABLE t_userinfotable (
    ID        TEXT PRIMARY KEY,
    GAMEURLID TEXT,
    ELENAME   TEXT,
    ELEVALUE  TEXT
);
CREATE INDEX ix_userinfotable_user ON t_userinfotable (GAMEURLID);

CREATE TABLE t_history (
    ID        TEXT PRIMARY KEY,
    value     TEXT,
    gameurlid TEXT,
    opentime  INTEGER
);
CREATE INDEX ix_history_url ON t_history (gameurlid);

CREATE TABLE t_base (
    basename  TEXT PRIMARY KEY,
    BASEVALUE TEXT
);

-- One row per history entry whose address still exists, with that address's columns.
CREATE VIEW v_history AS
    SELECT u.ID       AS ID,
           u.GAMEID   AS GAMEID,
           h.value    AS VALUE,
           u.URLHINT  AS URLHINT,
           u.URLVALUE AS URLVALUE,
           h.opentime AS opentime
      FROM t_history AS h
      JOIN t_gameurllist AS u ON u.ID = h.gameurlid;

-- "-1": the close button asks each time.
INSERT INTO t_base (basename, BASEVALUE) VALUES ('CLOSETYPE', '-1');

COMMIT;
