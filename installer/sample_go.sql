CREATE TABLE IF NOT EXISTS ambulatori (codice varchar(10) NOT NULL PRIMARY KEY, descrizione varchar(80))
GO
DELETE FROM ambulatori
GO
INSERT INTO ambulatori VALUES ('AMB1', 'Ambulatorio principale; piano terra')
GO
INSERT INTO ambulatori VALUES ('AMB2', 'Sede distaccata')
