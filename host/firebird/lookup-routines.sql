/* The two routines that the lookups' Firebird statements call, for any
   Firebird 3 database the host's lookups run on. They stand in for NVL:
   a statement passes its parameter through PARAM (a one-row selectable
   procedure) and compares with NVLSTR(P.PARAM, COLUMN), so a null parameter
   matches every row. Safe to run again (CREATE OR ALTER).
   Run:  isql-fb -q -bail -i lookup-routines.sql HOST/PORT:FILE  */

SET TERM ^ ;

/* One row whose PARAM column is the value passed in, null included. */
CREATE OR ALTER PROCEDURE PARAM (VALOR VARCHAR(255))
RETURNS (PARAM VARCHAR(255))
AS
BEGIN
  PARAM = VALOR;
  SUSPEND;
END^

/* The first argument, or the second when the first is null. */
CREATE OR ALTER FUNCTION NVLSTR (VALOR VARCHAR(255), ALTERNATIVA VARCHAR(255))
RETURNS VARCHAR(255)
AS
BEGIN
  RETURN COALESCE(VALOR, ALTERNATIVA);
END^

SET TERM ; ^

COMMIT;
