-- A sample update script for exec_sql_file: statements end with a semicolon.
-- The plug-in splits the text at every semicolon, also inside comments and
-- quoted texts, so neither may hold one.  It commits at the end.
CREATE TABLE IF NOT EXISTS note_aggiornamento (
  id       integer      NOT NULL PRIMARY KEY,
  versione varchar(20)  NOT NULL,
  nota     varchar(200)
);
DELETE FROM note_aggiornamento;
INSERT INTO note_aggiornamento VALUES (1, '24.1', 'Nuovo catalogo esami');
INSERT INTO note_aggiornamento VALUES (2, '24.1', 'Aggiornamento codici ATC');
