-- The people who may call the application server, and the branches each one
-- may see and change. Passwords are kept only as Argon2id strings
-- ($argon2id$..., salt and cost included). A fixed-branch user has exactly
-- one branch and acts on it only; IDTODASFILIAIS 'S' allows every branch.
-- A disabled user (IDATIVO 'N') is refused at login and on every call.

CREATE TABLE KRTUSUARIO (
    NMUSUARIO      VARCHAR(40)  NOT NULL PRIMARY KEY,
    DSSENHA        VARCHAR(255) NOT NULL,
    IDTODASFILIAIS CHAR(1)      NOT NULL CHECK (IDTODASFILIAIS IN ('S', 'N')),
    IDFILIALFIXA   CHAR(1)      NOT NULL CHECK (IDFILIALFIXA IN ('S', 'N')),
    IDATIVO        CHAR(1)      NOT NULL CHECK (IDATIVO IN ('S', 'N')),
    DTHRALTERACAO  TIMESTAMP    NOT NULL
);

CREATE TABLE KRTUSUARIOFILIAL (
    NMUSUARIO VARCHAR(40) NOT NULL REFERENCES KRTUSUARIO (NMUSUARIO),
    CDFILIAL  VARCHAR(4)  NOT NULL REFERENCES FILIAL (CDFILIAL),
    PRIMARY KEY (NMUSUARIO, CDFILIAL)
);

-- The audit names the authenticated user on its own (DSSOLICITANTE keeps the
-- user with the caller's address and request number).
ALTER TABLE AUDITCANCEL ADD COLUMN NMUSUARIO VARCHAR(40);
