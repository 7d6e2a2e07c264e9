-- A user's session generation. Every change that must end the user's
-- sessions (a new password, the user disabled or enabled, its branches
-- changed) raises it in the same transaction. A session remembers the
-- generation it was opened under and the server re-reads the user's row on
-- every call, so a change made by krt-admin in another process ends the
-- sessions at their next call, without the server being told.

ALTER TABLE KRTUSUARIO ADD COLUMN NRGERACAO INTEGER DEFAULT 0 NOT NULL;
