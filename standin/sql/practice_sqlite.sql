-- The practice database's own objects on the embedded SQLite database.
-- Apply with:  sqlite3 tarvenix.db < practice_sqlite.sql
-- The functions dbmstype(), now(), left() and DATEFORMAT() come from the
-- practice extension (practice_sqlite.so), which the data connection loads.
-- Safe to apply again to a database that already has them.

-- Registry of reference-table updates: one row per table ("upd_" + name).
CREATE TABLE IF NOT EXISTS tables (
  tableid     varchar(20)  NOT NULL,
  tabella     varchar(128) NOT NULL,
  chiave1     varchar(64),
  chiave2     varchar(255),
  descrizione varchar(255),
  data_upd    timestamp,
  time_last   timestamp,
  PRIMARY KEY (tableid, tabella)
);

-- Key snapshot of a running load.  The loader deletes one row per data line
-- by the whole key, so the key is the primary key.
CREATE TABLE IF NOT EXISTS temp_cartella (
  istanza         varchar(64)  NOT NULL,
  indice_cartella varchar(10)  NOT NULL,
  codice          varchar(255) NOT NULL,
  rowid           varchar(255) NOT NULL,
  PRIMARY KEY (istanza, indice_cartella, codice, rowid)
) WITHOUT ROWID;

-- The practice's users, as the login check reads them.
CREATE TABLE IF NOT EXISTS users (
  userid   integer      NOT NULL PRIMARY KEY,
  nomepass varchar(30)  NOT NULL UNIQUE,
  parola   varchar(30),
  nome     varchar(80)
);

-- The catalogue as the loaders read it: every table's columns, numbered from
-- 1 in table order, with 'Y' for the columns of its primary key.
CREATE VIEW IF NOT EXISTS syscolumns AS
SELECT m.name AS tname,
       c.name AS cname,
       c.cid + 1 AS colno,
       CASE WHEN c.pk > 0 THEN 'Y' ELSE 'N' END AS in_primary_key
FROM sqlite_master AS m
JOIN pragma_table_info(m.name) AS c
WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite\_%' ESCAPE '\';

-- ---------------------------------------------------------------------------
-- Reference tables
-- ---------------------------------------------------------------------------
