-- simserver's system procedures, installed into master at every start. Procedures named sp_
-- are found from every database and work on the caller's current database.

if object_id("sp_who") is not null drop procedure sp_who
go
create procedure sp_who @loginame varchar(30) = null as
select fid = 0, spid, status, loginame = suser_name(p.suid), origname = suser_name(p.suid),
    hostname, blk_spid = blocked, dbname = db_name(dbid), tempdbname = "tempdb", cmd,
    block_xloid = 0, threadpool = "syb_default_pool"
from master..sysprocesses p
where @loginame is null or suser_name(p.suid) = @loginame
    or convert(varchar(10), spid) = @loginame
order by p.spid
return 0
go

if object_id("sp_helptext") is not null drop procedure sp_helptext
go
create procedure sp_helptext @objname varchar(767) as
if object_id(@objname) is null
begin
    raiserror 17461 "Object does not exist in this database."
    return 1
end
select "# Lines of Text" = count(*) from syscomments where id = object_id(@objname)
select text from syscomments where id = object_id(@objname) order by number, colid2, colid
return 0
go

if object_id("sp_help") is not null drop procedure sp_help
go
create procedure sp_help @objname varchar(767) = null as
if @objname is null
begin
    select Name = o.name, Owner = user_name(o.uid),
        Object_type = case rtrim(o.type) when "U" then "user table"
            when "S" then "system table" when "V" then "view"
            when "P" then "stored procedure" when "TR" then "trigger" when "R" then "rule"
            when "D" then "default" else o.type end
    from sysobjects o
    order by 3 desc, 1
    return 0
end
if object_id(@objname) is null
begin
    if exists (select 1 from systypes where name = @objname)
    begin
        select Type_name = u.name, Storage_type = b.name, Length = u.length, Prec = u.prec,
            Scale = u.scale, Nulls = u.allownulls, Default_name = object_name(u.tdefault),
            Rule_name = object_name(u.domain)
        from systypes u, systypes b
        where u.name = @objname and b.usertype = (select min(usertype) from systypes
            where type = u.type and usertype < 100)
        return 0
    end
    raiserror 17460 "Object must be in the current database."
    return 1
end
select Name = o.name, Owner = user_name(o.uid),
    Object_type = case rtrim(o.type) when "U" then "user table" when "S" then "system table"
        when "V" then "view" when "P" then "stored procedure" when "TR" then "trigger"
        when "R" then "rule" when "D" then "default" else o.type end,
    Create_date = o.crdate
from sysobjects o where o.id = object_id(@objname)
if exists (select 1 from syscolumns where id = object_id(@objname))
    select Column_name = c.name, Type = t.name, Length = c.length, Prec = c.prec,
        Scale = c.scale, Nulls = convert(bit, c.status & 8),
        Default_name = object_name(c.cdefault), Rule_name = object_name(c.domain),
        Access_Rule_name = object_name(c.accessrule), "Identity" = convert(bit, c.status & 128)
    from syscolumns c, systypes t
    where c.id = object_id(@objname) and c.usertype *= t.usertype
    order by c.number, c.colid
return 0
go

if object_id("sp_helpindex") is not null drop procedure sp_helpindex
go
create procedure sp_helpindex @objname varchar(767) as
declare @id int, @indid int, @k int, @keys varchar(1024), @col varchar(255)
select @id = object_id(@objname)
if @id is null
begin
    raiserror 17461 "Object does not exist in this database."
    return 1
end
create table #indexes (indid int, index_keys varchar(1024) null)
select @indid = min(indid) from sysindexes where id = @id and indid > 0 and indid < 255
while @indid is not null
begin
    select @k = 1, @keys = null
    select @col = index_col(@objname, @indid, @k)
    while @col is not null
    begin
        if @keys is null
            select @keys = @col
        else
            select @keys = @keys + ", " + @col
        select @k = @k + 1
        select @col = index_col(@objname, @indid, @k)
    end
    insert #indexes values (@indid, @keys)
    select @indid = min(indid) from sysindexes where id = @id and indid > @indid and indid < 255
end
if not exists (select 1 from #indexes)
begin
    print "Object does not have any indexes."
    drop table #indexes
    return 0
end
select index_name = i.name, index_keys = x.index_keys,
    index_description = case when i.indid = 1 then "clustered" else "nonclustered" end
        + case when i.status & 2 = 2 then ", unique" else null end
        + " located on " + s.name,
    index_max_rows_per_page = i.maxrowsperpage, index_fillfactor = i.fill_factor,
    index_reservepagegap = i.res_page_gap, index_created = i.crdate
from sysindexes i, #indexes x, syssegments s
where i.id = @id and i.indid = x.indid and s.segment = i.segment
order by i.indid
drop table #indexes
return 0
go

if object_id("sp_addtype") is not null drop procedure sp_addtype
go
create procedure sp_addtype @typename varchar(30), @phystype varchar(255),
    @nulltype varchar(30) = "not null" as
declare @base varchar(30), @args varchar(255), @p int, @c int, @prec int, @scale int,
    @type int, @length int, @variable int, @usertype int
if exists (select 1 from systypes where name = @typename)
begin
    raiserror 17331 "A type with the specified name already exists."
    return 1
end
select @p = charindex("(", @phystype)
if @p > 0
begin
    select @base = rtrim(ltrim(substring(@phystype, 1, @p - 1)))
    select @args = substring(@phystype, @p + 1, char_length(@phystype) - @p - 1)
    select @c = charindex(",", @args)
    if @c > 0
        select @prec = convert(int, substring(@args, 1, @c - 1)),
            @scale = convert(int, substring(@args, @c + 1, 255))
    else
        select @prec = convert(int, @args)
end
else
    select @base = rtrim(ltrim(@phystype))
select @type = type, @length = length, @variable = variable
from systypes where name = @base and usertype < 100
if @type is null
begin
    raiserror 17332 "Physical datatype does not exist."
    return 1
end
if @base in ("char", "varchar", "binary", "varbinary", "nchar", "nvarchar")
    select @length = isnull(@prec, 1), @prec = null, @scale = null
else if @base in ("numeric", "decimal")
    select @prec = isnull(@prec, 18), @scale = isnull(@scale, 0)
else
    select @prec = null, @scale = null
select @usertype = isnull(max(usertype) + 1, 100) from systypes where usertype >= 100
insert systypes (uid, usertype, variable, allownulls, type, length, tdefault, domain, name,
    prec, scale)
values (1, @usertype, @variable, case when lower(@nulltype) = "null" then 1 else 0 end, @type,
    @length, 0, 0, @typename, @prec, @scale)
return 0
go

if object_id("sp_droptype") is not null drop procedure sp_droptype
go
create procedure sp_droptype @typename varchar(30) as
declare @usertype int
select @usertype = usertype from systypes where name = @typename and usertype >= 100
if @usertype is null
begin
    raiserror 17341 "The type does not exist or is a system type."
    return 1
end
if exists (select 1 from syscolumns where usertype = @usertype)
begin
    raiserror 17342 "The type is being used. You cannot drop it."
    return 1
end
delete systypes where usertype = @usertype
return 0
go

if object_id("sp_addlogin") is not null drop procedure sp_addlogin
go
create procedure sp_addlogin @loginame varchar(30), @passwd varchar(30) = null,
    @defdb varchar(30) = "master", @deflanguage varchar(30) = null,
    @fullname varchar(30) = null as
declare @suid int
if exists (select 1 from master..syslogins where name = @loginame)
begin
    raiserror 17262 "A user with the specified login name already exists."
    return 1
end
if db_id(@defdb) is null
begin
    raiserror 17263 "The specified default database does not exist."
    return 1
end
select @suid = max(suid) + 1 from master..syslogins
insert master..syslogins (suid, status, accdate, totcpu, totio, spacelimit, timelimit,
    resultlimit, dbname, name, password, language, pwdate, fullname)
values (@suid, 0, getdate(), 0, 0, 0, 0, 0, @defdb, @loginame, @passwd,
    isnull(@deflanguage, "us_english"), getdate(), @fullname)
print "Password correctly set."
print "Account unlocked."
print "New login created."
return 0
go

if object_id("sp_droplogin") is not null drop procedure sp_droplogin
go
create procedure sp_droplogin @loginame varchar(30) as
if @loginame = "sa"
begin
    raiserror 17272 "You cannot drop the 'sa' login."
    return 1
end
if not exists (select 1 from master..syslogins where name = @loginame)
begin
    raiserror 17231 "No login with the specified name exists."
    return 1
end
delete master..syslogins where name = @loginame
print "Login dropped."
return 0
go

if object_id("sp_adduser") is not null drop procedure sp_adduser
go
create procedure sp_adduser @loginame varchar(30), @name_in_db varchar(30) = null,
    @grpname varchar(30) = null as
declare @suid int, @uid int, @gid int
select @suid = suid from master..syslogins where name = @loginame
if @suid is null
begin
    raiserror 17231 "No login with the specified name exists."
    return 1
end
if @name_in_db is null
    select @name_in_db = @loginame
if exists (select 1 from sysusers where name = @name_in_db or suid = @suid)
begin
    raiserror 17332 "A user with the same name already exists in the database."
    return 1
end
select @gid = 0
if @grpname is not null
begin
    select @gid = null
    select @gid = uid from sysusers where name = @grpname and uid = gid
    if @gid is null
    begin
        raiserror 17333 "No group with the specified name exists."
        return 1
    end
end
select @uid = isnull(max(uid), 2) + 1 from sysusers where uid < 16384
insert sysusers (suid, uid, gid, name, environ) values (@suid, @uid, @gid, @name_in_db, null)
print "New user added."
return 0
go

if object_id("sp_dropuser") is not null drop procedure sp_dropuser
go
create procedure sp_dropuser @name_in_db varchar(30) as
declare @uid int
select @uid = uid from sysusers where name = @name_in_db and uid <> gid
if @uid is null or @uid = 1
begin
    raiserror 17231 "No user with the specified name exists in the current database."
    return 1
end
delete sysprotects where uid = @uid
delete sysusers where uid = @uid
print "User has been dropped from current database."
return 0
go

if object_id("sp_addgroup") is not null drop procedure sp_addgroup
go
create procedure sp_addgroup @grpname varchar(30) as
declare @uid int
if exists (select 1 from sysusers where name = @grpname)
begin
    raiserror 17332 "A group or user with the specified name already exists."
    return 1
end
select @uid = isnull(max(uid), 16383) + 1 from sysusers where uid >= 16384
insert sysusers (suid, uid, gid, name, environ) values (-2, @uid, @uid, @grpname, null)
print "New group added."
return 0
go

if object_id("sp_dropgroup") is not null drop procedure sp_dropgroup
go
create procedure sp_dropgroup @grpname varchar(30) as
declare @gid int
select @gid = uid from sysusers where name = @grpname and uid = gid and uid > 0
if @gid is null
begin
    raiserror 17333 "No group with the specified name exists."
    return 1
end
if exists (select 1 from sysusers where gid = @gid and uid <> gid)
begin
    raiserror 17334 "The group has members. Remove them first."
    return 1
end
delete sysprotects where uid = @gid
delete sysusers where uid = @gid
print "Group has been dropped."
return 0
go

if object_id("sp_addsegment") is not null drop procedure sp_addsegment
go
create procedure sp_addsegment @segname varchar(30), @dbname varchar(30),
    @devname varchar(30) as
declare @segment int
if @dbname <> db_name()
begin
    raiserror 17280 "You must be in the database where the segment is to be added."
    return 1
end
if exists (select 1 from syssegments where name = @segname)
begin
    raiserror 17281 "There is already a segment with the specified name."
    return 1
end
select @segment = max(segment) + 1 from syssegments
insert syssegments (segment, name, status) values (@segment, @segname, 0)
print "Segment created."
return 0
go

if object_id("sp_bindrule") is not null drop procedure sp_bindrule
go
create procedure sp_bindrule @rulename varchar(255), @objname varchar(255) as
declare @rule int, @dot int
select @rule = id from sysobjects where name = @rulename and type = "R"
select @dot = charindex(".", @objname)
if @rule is null or @dot = 0
begin
    raiserror 15017 "No such rule or column exists in the current database."
    return 1
end
update syscolumns set domain = @rule
where id = object_id(substring(@objname, 1, @dot - 1))
    and name = substring(@objname, @dot + 1, 255)
print "Rule bound to table column."
return 0
go

if object_id("sp_bindefault") is not null drop procedure sp_bindefault
go
create procedure sp_bindefault @defname varchar(255), @objname varchar(255) as
declare @def int, @dot int
select @def = id from sysobjects where name = @defname and type = "D"
select @dot = charindex(".", @objname)
if @def is null or @dot = 0
begin
    raiserror 15017 "No such default or column exists in the current database."
    return 1
end
update syscolumns set cdefault = @def
where id = object_id(substring(@objname, 1, @dot - 1))
    and name = substring(@objname, @dot + 1, 255)
print "Default bound to column."
return 0
go

-- ODBC's view of each storage type, for the catalogue procedures that client libraries call.
-- len 0 matches any length; the nullable types (intn, floatn, ...) say their size by length.
-- A nullable char or binary is stored as varchar or varbinary and still described as declared.
-- precision, scale: null takes the column's own (character lengths, numeric digits).
if object_id("spt_odbc_types") is not null drop table spt_odbc_types
go
create table spt_odbc_types (ss_type int, len int, data_type smallint, precision int null,
    scale smallint null, radix smallint null, sql_data_type smallint,
    sql_datetime_sub smallint null, is_char int)
insert spt_odbc_types values (47, 0, 1, null, null, null, 1, null, 1)
insert spt_odbc_types values (39, 0, 12, null, null, null, 12, null, 1)
insert spt_odbc_types values (45, 0, -2, null, null, null, -2, null, 1)
insert spt_odbc_types values (37, 0, -3, null, null, null, -3, null, 1)
insert spt_odbc_types values (35, 0, -1, 2147483647, null, null, -1, null, 1)
insert spt_odbc_types values (34, 0, -4, 2147483647, null, null, -4, null, 1)
insert spt_odbc_types values (48, 0, -6, 3, 0, 10, -6, null, 0)
insert spt_odbc_types values (52, 0, 5, 5, 0, 10, 5, null, 0)
insert spt_odbc_types values (56, 0, 4, 10, 0, 10, 4, null, 0)
insert spt_odbc_types values (191, 0, -5, 19, 0, 10, -5, null, 0)
insert spt_odbc_types values (38, 1, -6, 3, 0, 10, -6, null, 0)
insert spt_odbc_types values (38, 2, 5, 5, 0, 10, 5, null, 0)
insert spt_odbc_types values (38, 4, 4, 10, 0, 10, 4, null, 0)
insert spt_odbc_types values (38, 8, -5, 19, 0, 10, -5, null, 0)
insert spt_odbc_types values (50, 0, -7, 1, 0, null, -7, null, 0)
insert spt_odbc_types values (62, 0, 6, 15, null, 10, 6, null, 0)
insert spt_odbc_types values (59, 0, 7, 7, null, 10, 7, null, 0)
insert spt_odbc_types values (109, 8, 6, 15, null, 10, 6, null, 0)
insert spt_odbc_types values (109, 4, 7, 7, null, 10, 7, null, 0)
insert spt_odbc_types values (63, 0, 2, null, null, 10, 2, null, 0)
insert spt_odbc_types values (108, 0, 2, null, null, 10, 2, null, 0)
insert spt_odbc_types values (55, 0, 3, null, null, 10, 3, null, 0)
insert spt_odbc_types values (106, 0, 3, null, null, 10, 3, null, 0)
insert spt_odbc_types values (60, 0, 3, 19, 4, 10, 3, null, 0)
insert spt_odbc_types values (122, 0, 3, 10, 4, 10, 3, null, 0)
insert spt_odbc_types values (110, 8, 3, 19, 4, 10, 3, null, 0)
insert spt_odbc_types values (110, 4, 3, 10, 4, 10, 3, null, 0)
insert spt_odbc_types values (61, 0, 11, 23, 3, null, 9, 3, 0)
insert spt_odbc_types values (58, 0, 11, 16, 0, null, 9, 3, 0)
insert spt_odbc_types values (111, 8, 11, 23, 3, null, 9, 3, 0)
insert spt_odbc_types values (111, 4, 11, 16, 0, null, 9, 3, 0)
go

if object_id("sp_tables") is not null drop procedure sp_tables
go
create procedure sp_tables @table_name varchar(771) = null, @table_owner varchar(32) = null,
    @table_qualifier varchar(32) = null, @table_type varchar(100) = null as
if @table_qualifier is not null and @table_qualifier != db_name()
begin
    raiserror 18039 "Table qualifier must be name of current database."
    return 1
end
select table_qualifier = db_name(), table_owner = user_name(o.uid), table_name = o.name,
    table_type = convert(varchar(32), case rtrim(o.type) when "S" then "SYSTEM TABLE"
        when "U" then "TABLE" else "VIEW" end),
    remarks = convert(varchar(254), null)
from sysobjects o
where rtrim(o.type) in ("S", "U", "V") and o.name like isnull(@table_name, "%")
    and user_name(o.uid) like isnull(@table_owner, "%")
    and (@table_type is null
        or charindex("'" + case rtrim(o.type) when "S" then "SYSTEM TABLE" when "U" then "TABLE"
            else "VIEW" end + "'", upper(@table_type)) > 0
        or upper(@table_type) = case rtrim(o.type) when "S" then "SYSTEM TABLE"
            when "U" then "TABLE" else "VIEW" end)
order by table_type, table_qualifier, table_owner, table_name
return 0
go

if object_id("sp_columns") is not null drop procedure sp_columns
go
create procedure sp_columns @table_name varchar(771), @table_owner varchar(32) = null,
    @table_qualifier varchar(32) = null, @column_name varchar(771) = null as
if @table_qualifier is not null and @table_qualifier != db_name()
begin
    raiserror 18039 "Table qualifier must be name of current database."
    return 1
end
select table_qualifier = db_name(), table_owner = user_name(o.uid), table_name = o.name,
    column_name = c.name, data_type = m.data_type, type_name = t.name,
    precision = isnull(m.precision, isnull(c.prec, c.length)), length = c.length,
    scale = isnull(m.scale, c.scale), radix = m.radix,
    nullable = convert(smallint, case when c.status & 8 = 8 then 1 else 0 end),
    remarks = convert(varchar(254), null), ss_data_type = c.type, colid = c.colid,
    column_def = convert(varchar(255), null), sql_data_type = m.sql_data_type,
    sql_datetime_sub = m.sql_datetime_sub,
    char_octet_length = case when m.is_char = 1 then c.length else null end,
    ordinal_position = c.colid,
    is_nullable = convert(varchar(3), case when c.status & 8 = 8 then "YES" else "NO" end)
from sysobjects o, syscolumns c, systypes t, master..spt_odbc_types m
where rtrim(o.type) in ("S", "U", "V") and o.name like @table_name
    and user_name(o.uid) like isnull(@table_owner, "%") and c.id = o.id and c.number = 0
    and c.name like isnull(@column_name, "%") and t.usertype = c.usertype
    and m.ss_type = case when c.usertype in (1, 24) then 47 when c.usertype = 3 then 45
        else c.type end
    and (m.len = 0 or m.len = c.length)
order by table_owner, table_name, colid
return 0
go

if object_id("sp_stored_procedures") is not null drop procedure sp_stored_procedures
go
create procedure sp_stored_procedures @sp_name varchar(771) = null,
    @sp_owner varchar(32) = null, @sp_qualifier varchar(32) = null as
if @sp_qualifier is not null and @sp_qualifier != db_name()
begin
    raiserror 18041 "Stored procedure qualifier must be name of current database."
    return 1
end
select procedure_qualifier = db_name(), procedure_owner = user_name(o.uid),
    procedure_name = o.name,
    num_input_params = (select count(*) from syscolumns c where c.id = o.id),
    num_output_params = (select count(*) from syscolumns c
        where c.id = o.id and c.status & 64 = 64),
    num_result_sets = -1, remarks = convert(varchar(254), null),
    procedure_type = convert(smallint, 1)
from sysobjects o
where rtrim(o.type) = "P" and o.name like isnull(@sp_name, "%")
    and user_name(o.uid) like isnull(@sp_owner, "%")
order by procedure_qualifier, procedure_owner, procedure_name
return 0
go

if object_id("sp_sproc_columns") is not null drop procedure sp_sproc_columns
go
create procedure sp_sproc_columns @procedure_name varchar(771) = "%",
    @procedure_owner varchar(32) = null, @procedure_qualifier varchar(32) = null,
    @column_name varchar(771) = null as
if @procedure_qualifier is not null and @procedure_qualifier != db_name()
begin
    raiserror 18041 "Stored procedure qualifier must be name of current database."
    return 1
end
-- The return status comes first, as ODBC's SQL_RETURN_VALUE; parameters are input (1) or
-- input and output (2).
select procedure_qualifier = db_name(), procedure_owner = user_name(o.uid),
    procedure_name = o.name, column_name = convert(varchar(30), "RETURN_VALUE"),
    column_type = convert(smallint, 5), data_type = convert(smallint, 4),
    type_name = convert(varchar(30), "int"), precision = 10, length = 4,
    scale = convert(smallint, 0), radix = convert(smallint, 10),
    nullable = convert(smallint, 0), remarks = convert(varchar(254), null),
    ss_data_type = 56, colid = 0, column_def = convert(varchar(255), null),
    sql_data_type = convert(smallint, 4), sql_datetime_sub = convert(smallint, null),
    char_octet_length = convert(int, null), ordinal_position = 0,
    is_nullable = convert(varchar(3), "NO")
from sysobjects o
where rtrim(o.type) = "P" and o.name like @procedure_name
    and user_name(o.uid) like isnull(@procedure_owner, "%")
    and "RETURN_VALUE" like isnull(@column_name, "%")
union all
select db_name(), user_name(o.uid), o.name, c.name,
    convert(smallint, case when c.status & 64 = 64 then 2 else 1 end), m.data_type, t.name,
    isnull(m.precision, isnull(c.prec, c.length)), c.length, isnull(m.scale, c.scale),
    m.radix, convert(smallint, 1), null, c.type, c.colid, null, m.sql_data_type,
    m.sql_datetime_sub, case when m.is_char = 1 then c.length else null end, c.colid, "YES"
from sysobjects o, syscolumns c, systypes t, master..spt_odbc_types m
where rtrim(o.type) = "P" and o.name like @procedure_name
    and user_name(o.uid) like isnull(@procedure_owner, "%") and c.id = o.id
    and c.name like isnull(@column_name, "%") and t.usertype = c.usertype
    and m.ss_type = case when c.usertype in (1, 24) then 47 when c.usertype = 3 then 45
        else c.type end
    and (m.len = 0 or m.len = c.length)
order by procedure_owner, procedure_name, ordinal_position
return 0
go
