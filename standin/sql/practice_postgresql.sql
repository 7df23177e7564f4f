-- The practice database's own objects on PostgreSQL.
-- Apply with:  psql -d <database> -f practice_postgresql.sql
-- The database is expected in WIN1252 (createdb -E WIN1252 -T template0).
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
-- by the whole key, so the key is the primary key.  The key columns of the
-- reference tables are text as well, since codice is compared with them.
CREATE TABLE IF NOT EXISTS temp_cartella (
  istanza         varchar(64) NOT NULL,
  indice_cartella varchar(10) NOT NULL,
  codice          text        NOT NULL,
  rowid           text        NOT NULL,
  PRIMARY KEY (istanza, indice_cartella, codice, rowid)
);

-- The practice's users, as the login check reads them.
CREATE TABLE IF NOT EXISTS users (
  userid   integer     NOT NULL PRIMARY KEY,
  nomepass varchar(30) NOT NULL UNIQUE,
  parola   varchar(30),
  nome     varchar(80)
);

-- The catalogue as the loaders read it: every table of the search path, its
-- columns numbered from 1 without gaps (dropped columns leave none), with 'Y'
-- for the columns of its primary key.
CREATE OR REPLACE VIEW syscolumns AS
SELECT c.relname::text AS tname,
       a.attname::text AS cname,
       (row_number() OVER (PARTITION BY c.oid ORDER BY a.attnum))::integer AS colno,
       (CASE WHEN EXISTS (SELECT 1 FROM pg_index i
                          WHERE i.indrelid = c.oid AND i.indisprimary AND a.attnum = ANY (i.indkey))
             THEN 'Y' ELSE 'N' END)::varchar(1) AS in_primary_key
FROM pg_class c
JOIN pg_namespace n ON n.oid = c.relnamespace
JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped
WHERE c.relkind IN ('r', 'p')
  AND n.nspname NOT IN ('pg_catalog', 'information_schema')
  AND pg_table_is_visible(c.oid);

-- Which database the application talks to.
CREATE OR REPLACE FUNCTION dbmstype() RETURNS text
LANGUAGE sql IMMUTABLE AS $$ SELECT 'postgresql'::text $$;

-- Formats a date-time with a to_char pattern, e.g.
-- DATEFORMAT(max(data_upd), 'YYYY-MM-DD HH24:MI:SS.MS000').
CREATE OR REPLACE FUNCTION DATEFORMAT(value timestamp, pattern text) RETURNS text
LANGUAGE sql STABLE AS $$ SELECT to_char(value, pattern) $$;

CREATE OR REPLACE FUNCTION DATEFORMAT(value timestamptz, pattern text) RETURNS text
LANGUAGE sql STABLE AS $$ SELECT to_char(value, pattern) $$;

CREATE OR REPLACE FUNCTION DATEFORMAT(value text, pattern text) RETURNS text
LANGUAGE sql STABLE AS $$ SELECT to_char(value::timestamp, pattern) $$;

-- The session settings that the application's statements assume.
CREATE OR REPLACE FUNCTION prepara_ambiente_tn() RETURNS text
LANGUAGE plpgsql AS $$
BEGIN
  PERFORM set_config('datestyle', 'ISO, YMD', false);
  RETURN 'ok';
END $$;

-- ---------------------------------------------------------------------------
-- Reference tables
-- ---------------------------------------------------------------------------
