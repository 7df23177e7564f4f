-- Sample practice users, so that an installer can ask for a login first.
-- Apply after the practice schema, on SQLite or PostgreSQL:
--   sqlite3 tarvenix.db < sample_users.sql      psql -f sample_users.sql
-- Safe to apply again: users already there are left as they are.
INSERT INTO users (userid, nomepass, parola, nome) VALUES
  (1, 'medico', 'tarvenix', 'Dott. Mario Rossi'),
  (2, 'd''amico', 'segreta', 'Dott.ssa Anna D''Amico')
ON CONFLICT DO NOTHING;
