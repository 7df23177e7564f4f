-- The sample practice before the update: rows from an earlier update, some
-- of them changed by the practice, and rows that the new files no longer hold.
INSERT INTO comu_diz VALUES ('001', 'Roma', 'RM', '00100', 'S', '2010-01-01 00:00:00');
INSERT INTO comu_diz VALUES ('002', 'Milano', 'MI', '20100', 'N', '2010-01-01 00:00:00');
INSERT INTO comu_diz VALUES ('099', 'Comune soppresso', 'XX', '00000', 'N', '2010-01-01 00:00:00');
INSERT INTO lnk_acc VALUES ('G1', 'A1', 1, 'Emocromo', '2010-01-01 00:00:00');
INSERT INTO lnk_acc VALUES ('G1', 'A2', 2, 'Esame ritirato', '2010-01-01 00:00:00');
INSERT INTO tab_acc (rowid, acc_cod, acc_descr, acc_prn, acc_tipo, acc_costo, acc_status, acc_orig, acc_costo_orig,
  acc_tipo_orig, acc_prn_orig, data_upd, acc_short)
  VALUES ('R001', 'EMO', 'Emocromo completo (nostro)', 'S', 'LAB', 15, 'A', 'Emocromo', 12, 'LAB', 'S', '2010-01-01 00:00:00', 'EMOC');
INSERT INTO tab_acc (rowid, acc_cod, acc_descr, acc_prn, acc_tipo, acc_costo, acc_status, acc_orig, acc_costo_orig,
  acc_tipo_orig, acc_prn_orig, data_upd, acc_short)
  VALUES ('R002', 'GLI', 'Glicemia', 'S', 'LAB', 5, 'O', 'Glicemia', 5, 'LAB', 'S', '2010-01-01 00:00:00', NULL);
INSERT INTO tab_acc (rowid, acc_cod, acc_descr, acc_prn, acc_tipo, acc_costo, acc_status, acc_orig, acc_costo_orig,
  acc_tipo_orig, acc_prn_orig, data_upd, acc_short)
  VALUES ('R009', 'OLD', 'Esame non più in catalogo', 'S', 'LAB', 1, 'O', 'Esame non più in catalogo', 1, 'LAB', 'S', '2010-01-01 00:00:00', NULL);
INSERT INTO tab_vac VALUES ('V01', 'ADU', 'Antitetanica (nostra dicitura)', 'T', 2, 1, 3650, NULL, '2010-01-01 00:00:00', 'A', 'Antitetanica');
INSERT INTO tab_vac VALUES ('V02', 'PED', 'Esavalente', 'E', 3, 3, 60, NULL, '2010-01-01 00:00:00', 'O', 'Esavalente');
INSERT INTO cprobl VALUES ('001.0', 'Colera', '01', 1000);
INSERT INTO notessn VALUES ('01', 'Nota 1 (vecchia)', 'N', '1');
INSERT INTO notessn VALUES ('79', 'Nota 79 (abolita)', 'N', '79');
INSERT INTO mn_v_tbl_note_prescrizione VALUES ('01', 'AIFA', 'Nota 1', 'Nota 1 (vecchia)', 'N', '1', '2010-01-01 00:00:00');
INSERT INTO mn_v_tbl_note_prescrizione VALUES ('79', 'AIFA', 'Nota 79', 'Nota 79 (abolita)', 'N', '79', '2010-01-01 00:00:00');
INSERT INTO mn_v_tbl_generica VALUES ('ATC', 'A10', 'Antidiabetici', '2010-01-01 00:00:00');
INSERT INTO mn_v_tbl_generica VALUES ('ATC', 'Z99', 'Codice soppresso', '2010-01-01 00:00:00');
INSERT INTO tab_atc VALUES ('A10', 'Antidiabetici');
INSERT INTO tab_atc VALUES ('Z99', 'Codice soppresso');
