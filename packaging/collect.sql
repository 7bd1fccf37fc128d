-- The office's table of answers from the Tolvik kiosks, the role that the kiosks write with, and
-- a view of the whole event in the kiosks' data file format. Run it once in the office's database,
-- as the database's owner:
--     psql -d tolvik -f /usr/share/tolvik-kiosk/collect.sql
-- then give the kiosks' role its password (psql asks for it twice):
--     psql -d tolvik -c '\password tolvik_kiosk'

-- One row per record of a kiosk's data file. The key says where the record lies: which kiosk,
-- which of its data files, and its place there; a kiosk that sends a record again (after a crash
-- or a lost connection) meets its key and adds nothing.
CREATE TABLE tolvik_responses (
    kiosk               text        NOT NULL,  -- [Collect] Kiosk= (by default the host name)
    data_file           text        NOT NULL,  -- when the data file was made, and its inode
    place               bigint      NOT NULL,  -- the record's place in it: 1 for the first
    -- The ten columns as the data file stores them.
    first_name          text        NOT NULL,
    last_name           text        NOT NULL,
    phone               text        NOT NULL,
    email               text        NOT NULL,
    gender              text        NOT NULL,
    age                 text        NOT NULL,
    activities          text        NOT NULL,  -- "Hiking,Camping," as the file has it
    owns_tolvik         text        NOT NULL,
    buying_hiking_boots text        NOT NULL,
    buying_trail_shoes  text        NOT NULL,
    received            timestamptz NOT NULL DEFAULT now(),  -- the server's own time
    PRIMARY KEY (kiosk, data_file, place)
);

-- The kiosks may add rows and nothing else: a stolen tablet's password can neither read nor
-- change nor erase anyone's answers, and the time of receipt is the server's.
CREATE ROLE tolvik_kiosk LOGIN;
GRANT USAGE ON SCHEMA public TO tolvik_kiosk;
GRANT INSERT (kiosk, data_file, place, first_name, last_name, phone, email, gender, age,
              activities, owns_tolvik, buying_hiking_boots, buying_trail_shoes)
    ON tolvik_responses TO tolvik_kiosk;

-- A text as one CSV field, as the kiosk writes it: quoted only when it holds a comma, a double
-- quote or a line break, inner quotes doubled.
CREATE FUNCTION tolvik_csv(field text) RETURNS text
    LANGUAGE sql IMMUTABLE STRICT
    RETURN CASE WHEN field ~ '[,"\r\n]' THEN '"' || replace(field, '"', '""') || '"'
                ELSE field END;

-- The whole event as the lines of one data file with the kiosk's name in front: the header line,
-- then every kiosk's records, each data file's in its order.
CREATE VIEW tolvik_event AS
SELECT line FROM (
    SELECT 0 AS part, NULL AS kiosk, NULL AS data_file, NULL::bigint AS place,
           'Kiosk,First Name,Last Name,Phone,Email,Gender,Age,'
           '1)In which outdoor activities do you participate?,'
           '2)Do you currently own Tolvik shoes or boots?,'
           '3)Do you plan on buying new Hiking Boots in the next 6 months?,'
           '4)Do you plan on buying new trail running shoes in the next 6 months?,' AS line
    UNION ALL
    SELECT 1, kiosk, data_file, place,
           concat_ws(',', tolvik_csv(kiosk), tolvik_csv(first_name), tolvik_csv(last_name),
                     tolvik_csv(phone), tolvik_csv(email), tolvik_csv(gender), tolvik_csv(age),
                     tolvik_csv(activities), tolvik_csv(owns_tolvik),
                     tolvik_csv(buying_hiking_boots), tolvik_csv(buying_trail_shoes), '')
    FROM tolvik_responses
) AS lines
ORDER BY part, kiosk, data_file, place;
