-- What every server process of a deployment must agree on about sessions and
-- logins lives here, so that a balancer may send any call to any process.
--
-- Session tokens are signed with a key all processes share and carry the
-- user, the session generation and an identifier; a token ended by its own
-- logout is remembered here until it would have expired anyway (NRVALIDADE,
-- milliseconds since 1970 UTC), and the per-call read of the user looks it up.
CREATE TABLE KRTSESSAOENCERRADA (
    IDSESSAO   VARCHAR(32) NOT NULL PRIMARY KEY,
    NMUSUARIO  VARCHAR(40) NOT NULL,
    NRVALIDADE BIGINT      NOT NULL
);

-- Failed logins in a row per account ('u:' + the user name, or 'u#' + a hash of
-- a name as typed that can be no user's) and
-- per caller address ('a:' + address), checked and counted in one
-- transaction, so that N processes give a guesser no more attempts than one.
-- NRULTIMA: the last failure, milliseconds since 1970 UTC; rows quiet for an
-- hour are forgotten.
CREATE TABLE KRTFALHALOGIN (
    DSCHAVE  VARCHAR(300) NOT NULL PRIMARY KEY,
    QTFALHAS INTEGER      NOT NULL,
    NRULTIMA BIGINT       NOT NULL
);
