-- A cancellation checks every invoice's sales and stock postings for another
-- branch and every posting's date against the open period before it changes
-- anything. With the branch (and the posting's date) in the indexes on the
-- document's key, those checks read the indexes alone instead of one table
-- row per sale and per posting.
DROP INDEX IXVENDA_NF;
CREATE INDEX IXVENDA_NF ON VENDA (CDFILIALNF, NRLANCTONF, CDFILIAL);
DROP INDEX IXLANCESTQ_NF;
CREATE INDEX IXLANCESTQ_NF ON LANCTOESTQ (CDFILIALNF, NRLANCTONF, CDFILIAL, DTLANCESTQ);
DROP INDEX IXLANCESTQ_RET;
CREATE INDEX IXLANCESTQ_RET ON LANCTOESTQ (CDFILIAL, NRRETEST, DTLANCESTQ);
