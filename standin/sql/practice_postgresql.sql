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
-- Owned by the table loader.  Every table carries its stamp column data_upd
-- (cprobl: frequenza, minutes since 2000-01-01).  Values of an update data
-- line follow these columns by position.

-- Exam catalogue.  The practice may change acc_descr, acc_costo, acc_tipo,
-- acc_prn, acc_norma and acc_short; the *_orig columns hold what the last
-- update delivered, and acc_status 'O' leaves the row to the updates.
CREATE TABLE IF NOT EXISTS tab_acc (
  rowid                varchar(20) NOT NULL PRIMARY KEY,
  acc_cod              varchar(20),
  acc_descr            varchar(255),
  acc_gruppo           varchar(20),
  acc_prn              varchar(1),
  acc_tipo             varchar(10),
  acc_norma            varchar(40),
  acc_costo            numeric(10,2),
  acc_status           varchar(1),
  acc_orig             varchar(255),
  acc_costo_orig       numeric(10,2),
  acc_tipo_orig        varchar(10),
  acc_prn_orig         varchar(1),
  acc_branca           varchar(10),
  acc_nomenclatore     varchar(20),
  acc_sesso            varchar(1),
  acc_eta_min          integer,
  acc_eta_max          integer,
  acc_durata           integer,
  acc_ticket           numeric(10,2),
  acc_note             varchar(255),
  acc_codice_regionale varchar(20),
  acc_ambito           varchar(10),
  acc_ricetta          varchar(1),
  acc_ordine           integer,
  data_upd             timestamp,
  acc_short            varchar(40)
);

-- Vaccines.  vac_status other than 'O': the practice keeps its status, its
-- description (when it differs from vac_orig) and its recall count.
CREATE TABLE IF NOT EXISTS tab_vac (
  vac_cod        varchar(20) NOT NULL PRIMARY KEY,
  vac_gruppo     varchar(20),
  vac_descr      varchar(255),
  vac_tipo       varchar(10),
  vac_rich       integer,
  vac_dosi       integer,
  vac_intervallo integer,
  vac_note       varchar(255),
  data_upd       timestamp,
  vac_status     varchar(1),
  vac_orig       varchar(255)
);

-- Problem list codes (ICD9-CM), stamped by frequency.
CREATE TABLE IF NOT EXISTS cprobl (
  cpr_cod   varchar(20) NOT NULL PRIMARY KEY,
  cpr_descr varchar(255),
  cpr_cap   varchar(10),
  frequenza integer
);

-- Counters of the application; a new cprobl row adds ICD9CM_<code>.
CREATE TABLE IF NOT EXISTS contatori (
  riga_id   varchar(64) NOT NULL PRIMARY KEY,
  data_upd  timestamp,
  contatore integer
);

-- Prescription notes as the application reads them; mirrored from
-- mn_v_tbl_note_prescrizione.
CREATE TABLE IF NOT EXISTS notessn (
  ID       varchar(20) NOT NULL PRIMARY KEY,
  descr    varchar(2000),
  conferma varchar(1),
  num_orig varchar(20)
);

-- ATC codes; mirrored from the ATC rows of mn_v_tbl_generica.
CREATE TABLE IF NOT EXISTS tab_atc (
  atc_cod varchar(20) NOT NULL PRIMARY KEY,
  atc_des varchar(255)
);

CREATE TABLE IF NOT EXISTS mn_v_tbl_note_prescrizione (
  nota_id       varchar(20) NOT NULL PRIMARY KEY,
  nota_tipo     varchar(10),
  nota_titolo   varchar(80),
  nota_descr    varchar(2000),
  nota_conferma varchar(1),
  nota_num_orig varchar(20),
  data_upd      timestamp
);

-- Generic coded lists: record type (ATC, ...) and code.
CREATE TABLE IF NOT EXISTS mn_v_tbl_generica (
  gen_tipo  varchar(10) NOT NULL,
  gen_cod   varchar(20) NOT NULL,
  gen_descr varchar(255),
  data_upd  timestamp,
  PRIMARY KEY (gen_tipo, gen_cod)
);

-- Municipalities: an ordinary table with a one-column key (and a column
-- named default, written quoted by the loader).
CREATE TABLE IF NOT EXISTS comu_diz (
  comu_cod   varchar(10) NOT NULL PRIMARY KEY,
  comu_descr varchar(80),
  comu_prov  varchar(2),
  comu_cap   varchar(5),
  "default"  varchar(1),
  data_upd   timestamp
);

-- Exams of a group: an ordinary table with a two-column key.
CREATE TABLE IF NOT EXISTS lnk_acc (
  lnk_gru    varchar(20) NOT NULL,
  lnk_acc    varchar(20) NOT NULL,
  lnk_ordine integer,
  lnk_note   varchar(80),
  data_upd   timestamp,
  PRIMARY KEY (lnk_gru, lnk_acc)
);
